#include "app/Form1.h"
#include "app/Maker.h"
#include "app/posix/PosixHost.h"
#include "app/qt/Appearance.h"
#include "app/qt/MainWindow.h"
#include "app/qt/QtClock.h"
#include "drive/SleepClock.h"
#include "drive/posix/PosixFileSystem.h"
#include "system/SystemUndo.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cstring>
#include <iostream>
#include <memory>

int main(int argc, char** argv) {
    // Until the command-line parser takes it over: the undo works without a window.
    if (argc == 2 && std::strcmp(argv[1], "--undo-system") == 0) {
        tw::PosixHost host;
        const std::unique_ptr<tw::PosixFileSystem> fs = tw::PosixFileSystem::fromEnvironment();
        tw::SleepClock clock;
        return tw::SystemUndoCommand(*fs, host, clock, std::cout, std::cerr);
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromUtf8(tw::maker::appId));
    tw::qt::installTranslations(app);

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
    // A later copy asks for this window in front before it shows its box and ends.
    std::unique_ptr<QSocketNotifier> activation;
    if (host.activationSocket() >= 0) {
        activation =
            std::make_unique<QSocketNotifier>(host.activationSocket(), QSocketNotifier::Read);
        QObject::connect(activation.get(), &QSocketNotifier::activated, &window, [&] {
            if (host.takeActivation()) {
                window.bringToFront();
            }
        });
    }
    window.show();
    window.setTimer1(true);
    return QApplication::exec();
}
