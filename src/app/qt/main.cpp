#include "app/Form1.h"
#include "app/posix/PosixHost.h"
#include "app/qt/Appearance.h"
#include "app/qt/MainWindow.h"
#include "app/qt/QtClock.h"
#include "drive/posix/PosixFileSystem.h"

#include <QApplication>

#include <cstdlib>
#include <optional>
#include <string>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tw::qt::installTranslations(app);

    tw::PosixHost host;
    // A drive declaration replaces the mount table (tests, the demo, odd hardware).
    const char* declared = std::getenv("TARNWICK_DRIVES");
    tw::PosixFileSystem fs(declared != nullptr ? std::optional<std::string>(declared)
                                               : std::nullopt);
    tw::qt::QtClock clock;
    tw::qt::MainWindow window;
    tw::AppState state;
    tw::Form1 form(tw::Ports{fs, host, window, clock}, state);
    window.attach(form);

    if (!form.Form_Load()) {
        return 0;
    }
    window.show();
    window.setTimer1(true);
    return QApplication::exec();
}
