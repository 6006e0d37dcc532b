#include "app/Form1.h"
#include "win32/MainWindow.h"
#include "win32/WinClock.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32Host.h"

#include <windows.h>

#include <memory>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    tw::Win32Host host;
    // A drive declaration replaces the drive letters (tests, the demo, odd hardware).
    const std::unique_ptr<tw::Win32FileSystem> fs = tw::Win32FileSystem::fromEnvironment();
    tw::win32::WinClock clock;
    tw::win32::MainWindow window(instance);
    clock.setFilter([&window](MSG& msg) { return window.preTranslate(msg); });
    tw::AppState state;
    tw::Form1 form(tw::Ports{*fs, host, window, clock}, state);
    window.attach(form);

    if (!form.Form_Load()) {
        return 0;
    }
    window.show();
    window.setTimer1(true);
    return clock.run();
}
