#include "app/CommandLine.h"
#include "app/Form1.h"
#include "drive/SleepClock.h"
#include "scan/FullScanCommand.h"
#include "system/SystemUndo.h"
#include "win32/MainWindow.h"
#include "win32/QuarantineWindow.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32Host.h"
#include "win32/Win32Quarantine.h"
#include "win32/Win32Text.h"
#include "win32/WinClock.h"

#include <shellapi.h>
#include <windows.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The arguments after the program's name, as UTF-8.
std::vector<std::string> arguments() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> out;
    for (int i = 1; argv != nullptr && i < count; ++i) {
        out.push_back(tw::win32::narrow(argv[i]));
    }
    LocalFree(argv);
    return out;
}

// Writes to a redirected handle as UTF-8 bytes, to a console as UTF-16; false when neither
// worked.
bool writeTo(HANDLE handle, const std::string& text) {
    if (text.empty()) {
        return true;
    }
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const std::wstring wide = tw::win32::widen(text);
    DWORD written = 0;
    if (GetFileType(handle) == FILE_TYPE_CHAR &&
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) {
        return true;
    }
    return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) !=
           FALSE;
}

// A GUI program has no console of its own: the output goes to the handles it was given
// (a redirection), else to the console it was started from, else into a box.
void report(const std::string& out, const std::string& err, int status) {
    HANDLE stdOut = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE stdErr = GetStdHandle(STD_ERROR_HANDLE);
    const bool given = (stdOut != nullptr && stdOut != INVALID_HANDLE_VALUE) ||
                       (stdErr != nullptr && stdErr != INVALID_HANDLE_VALUE);
    if (!given && AttachConsole(ATTACH_PARENT_PROCESS)) {
        stdOut = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        stdErr = stdOut;
    }
    if (writeTo(stdOut, out) && writeTo(stdErr, err)) {
        return;
    }
    const std::wstring text = tw::win32::widen(out + err);
    MessageBoxExW(nullptr, text.c_str(), L"Tarnwick",
                  static_cast<UINT>(MB_OK | (status == 0 ? MB_ICONINFORMATION : MB_ICONWARNING)),
                  MAKELANGID(LANG_CHINESE_SIMPLIFIED, SUBLANG_CHINESE_SIMPLIFIED));
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
    // A drive declaration replaces the drive letters (tests, the demo, odd hardware).
    const std::unique_ptr<tw::Win32FileSystem> fs = tw::Win32FileSystem::fromEnvironment();
    // Without a folder for the store there is no store: then no file is removed at all.
    tw::Win32Quarantine quarantine(tw::Win32Quarantine::defaultFolder().value_or(""), *fs);

    // The options run without a window.
    const tw::Command command = tw::parseCommandLine(arguments());
    tw::Win32Host host;
    if (command.kind != tw::CommandKind::window) {
        std::ostringstream out;
        std::ostringstream err;
        tw::CommandHooks hooks;
        hooks.quarantineFolder = "%LOCALAPPDATA%\\Tarnwick\\Quarantine";
        hooks.undoSystem = [&](std::ostream& o, std::ostream& e) {
            tw::SleepClock sleepClock;
            return tw::SystemUndoCommand(*fs, host, sleepClock, o, e);
        };
        hooks.fullScan = [&](const std::vector<std::string>& a, std::ostream& o, std::ostream& e) {
            tw::SleepClock sleepClock;
            return tw::FullScanCommand(*fs, host, quarantine, sleepClock, a, o, e);
        };
        const int status = tw::runCommand(command, quarantine, TARNWICK_VERSION, out, err, hooks);
        report(out.str(), err.str(), status);
        return status;
    }

    tw::win32::WinClock clock;
    tw::win32::MainWindow window(instance);
    clock.setFilter([&window](MSG& msg) {
        return window.preTranslate(msg) || tw::win32::quarantineWindowMessage(msg);
    });
    tw::AppState state;
    tw::Form1 form(tw::Ports{*fs, host, window, clock, quarantine}, state);
    window.attach(form);

    if (!form.Form_Load()) {
        return 0;
    }
    window.show();
    window.setTimer1(true);
    return clock.run();
}
