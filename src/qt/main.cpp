#include "app/Form1.h"
#include "linux/PosixHost.h"
#include "qt/Appearance.h"
#include "qt/DisplayCheck.h"
#include "qt/MainWindow.h"
#include "qt/QtClock.h"
#include "linux/PosixFileSystem.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv) {
    const std::unique_ptr<QApplication> app = tw::qt::startOnDisplay(argc, argv);
    tw::qt::installTranslations(*app);

    tw::PosixHost host;
    // A drive declaration replaces the mount table (tests, the demo, odd hardware).
    const std::unique_ptr<tw::PosixFileSystem> fs = tw::PosixFileSystem::fromEnvironment();
    tw::qt::QtClock clock;
    tw::qt::MainWindow window;
    tw::AppState state;
    tw::Form1 form(tw::Ports{*fs, host, window, clock}, state);
    window.attach(form);

    if (!form.Form_Load()) {
        return 0;
    }
    window.show();
    window.setTimer1(true);
    return QApplication::exec();
}
