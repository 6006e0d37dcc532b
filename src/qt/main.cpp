#include "app/CommandLine.h"
#include "app/Form1.h"
#include "linux/PosixFileSystem.h"
#include "linux/PosixHost.h"
#include "linux/PosixQuarantine.h"
#include "qt/Appearance.h"
#include "qt/DisplayCheck.h"
#include "qt/MainWindow.h"
#include "qt/QtClock.h"

#include <QApplication>

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
    if (command.kind != tw::CommandKind::window) {
        return tw::runCommand(command, quarantine, TARNWICK_VERSION, std::cout, std::cerr);
    }

    const std::unique_ptr<QApplication> app = tw::qt::startOnDisplay(argc, argv);
    tw::qt::installTranslations(*app);

    tw::PosixHost host;
    tw::qt::QtClock clock;
    tw::qt::MainWindow window;
    tw::AppState state;
    tw::Form1 form(tw::Ports{*fs, host, window, clock, quarantine}, state);
    window.attach(form);

    if (!form.Form_Load()) {
        return 0;
    }
    window.show();
    window.setTimer1(true);
    return QApplication::exec();
}
