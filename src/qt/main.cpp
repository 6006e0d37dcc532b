#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/Maker.h"
#include "drive/SleepClock.h"
#include "linux/PosixFileSystem.h"
#include "linux/PosixHost.h"
#include "linux/PosixQuarantine.h"
#include "qt/Appearance.h"
#include "qt/DisplayCheck.h"
#include "qt/MainWindow.h"
#include "qt/QtClock.h"
#include "scan/FullScanCommand.h"
#include "system/SystemUndo.h"

#include <QApplication>
#include <QSocketNotifier>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // A drive declaration replaces the mount table (tests, the demo, odd hardware).
    const std::unique_ptr<tw::PosixFileSystem> fs = tw::PosixFileSystem::fromEnvironment();
    // Without a home folder there is no store: then no file is removed at all.
    tw::PosixQuarantine quarantine(tw::PosixQuarantine::defaultFolder().value_or(""), *fs);

    // The options run without a window, so before Qt reads the arguments.
    const tw::Command command =
        tw::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    tw::PosixHost host;
    if (command.kind != tw::CommandKind::window) {
        tw::CommandHooks hooks;
        hooks.undoSystem = [&](std::ostream& out, std::ostream& err) {
            tw::SleepClock sleepClock;
            return tw::SystemUndoCommand(*fs, host, sleepClock, out, err);
        };
        hooks.fullScan = [&](const std::vector<std::string>& arguments, std::ostream& out,
                             std::ostream& err) {
            tw::SleepClock sleepClock;
            return tw::FullScanCommand(*fs, host, quarantine, sleepClock, arguments, out, err);
        };
        return tw::runCommand(command, quarantine, TARNWICK_VERSION, std::cout, std::cerr, hooks);
    }

    const std::unique_ptr<QApplication> app = tw::qt::startOnDisplay(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromUtf8(tw::maker::appId));
    tw::qt::installTranslations(*app);

    tw::qt::QtClock clock;
    tw::qt::MainWindow window;
    tw::AppState state;
    tw::Form1 form(tw::Ports{*fs, host, window, clock, quarantine}, state);
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
