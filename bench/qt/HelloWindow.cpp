// The yardstick for the Qt start-up measurement: the least a Qt program with one window and one
// line of Chinese text does. scripts/measure-startup.sh builds it and compares Tarnwick with it.
// With TARNWICK_MARK_FIRST_PAINT set it prints the wall-clock time of its first paint to stderr,
// the same line the real program prints.
#include <QApplication>
#include <QLabel>
#include <QPaintEvent>

#include <chrono>
#include <cstdio>

namespace {

class Line final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (!m_marked && qEnvironmentVariableIsSet("TARNWICK_MARK_FIRST_PAINT")) {
            m_marked = true;
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
            std::fprintf(stderr, "first paint %lld\n", static_cast<long long>(us));
            std::fflush(stderr);
        }
    }

private:
    bool m_marked = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Hello"));
    window.resize(600, 420);
    auto* line = new Line(QStringLiteral("正在检测U盘......"), &window);
    line->setGeometry(24, 328, 553, 16);
    window.show();
    return QApplication::exec();
}
