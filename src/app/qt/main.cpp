#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel placeholder("Tarnwick");
    placeholder.show();
    return QApplication::exec();
}
