// Starts a window program and reports how long it took until its main window was on screen
// with its text readable and painted, the way a user (or a screen reader) first sees it.
// Built and run under Wine by scripts/measure-windows-startup.sh.
//   startup_probe <program.exe> <window title> <done file>
// Prints "ready <ms> created <ms> shown <ms>" when the window is ready (created: the window
// exists; shown: it is visible; ready: painted with its text readable); then waits for the
// done file to appear (the script measures the process meanwhile), closes the window and
// waits for the program to end.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Found {
    bool readable = false;
};

BOOL CALLBACK readChild(HWND child, LPARAM param) {
    auto* found = reinterpret_cast<Found*>(param);
    DWORD_PTR length = 0;
    if (IsWindowVisible(child) &&
        SendMessageTimeoutW(child, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 100, &length) != 0 &&
        length > 0) {
        found->readable = true;
        return FALSE;
    }
    return TRUE;
}

double msSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: startup_probe <program.exe> <window title> <done file>\n", stderr);
        return 2;
    }
    // This program's own connection to the window system first, so that its set-up is not
    // counted as the other program's.
    FindWindowW(nullptr, argv[2]);
    GetDesktopWindow();
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "cannot start the program (error %lu)\n", GetLastError());
        return 1;
    }
    HWND window = nullptr;
    double created = -1;
    double shown = -1;
    for (;;) {
        if (msSince(start) > 60000) {
            std::fputs("no window within a minute\n", stderr);
            TerminateProcess(process.hProcess, 1);
            return 1;
        }
        window = FindWindowW(nullptr, argv[2]);
        if (window != nullptr && created < 0) {
            created = msSince(start);
        }
        Found found;
        if (window != nullptr && IsWindowVisible(window)) {
            if (shown < 0) {
                shown = msSince(start);
            }
            EnumChildWindows(window, &readChild, reinterpret_cast<LPARAM>(&found));
        }
        // Painted: nothing of the window is waiting to be drawn any more.
        if (found.readable && GetUpdateRect(window, nullptr, FALSE) == 0) {
            break;
        }
        Sleep(1);
    }
    std::printf("ready %.1f created %.1f shown %.1f\n", msSince(start), created, shown);
    std::fflush(stdout);
    while (GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES) {
        Sleep(100);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
