#include "win32/WinClock.h"

#include <chrono>

namespace tw::win32 {

void WinClock::dispatch(MSG& msg) {
    if (m_filter && m_filter(msg)) {
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void WinClock::wait(std::chrono::milliseconds duration) {
    using clock = std::chrono::steady_clock;
    if (duration.count() <= 0) {
        return;
    }
    const clock::time_point deadline = clock::now() + duration;
    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
                continue;
            }
            dispatch(msg);
        }
        const clock::time_point now = clock::now();
        if (now >= deadline) {
            break;
        }
        // Round up: a wake-up a fraction of a millisecond early would only loop once more.
        const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(remaining.count()), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
    if (quit) {
        PostQuitMessage(static_cast<int>(quitCode));
    }
}

void WinClock::handleEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        dispatch(msg);
    }
}

int WinClock::run() {
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        dispatch(msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace tw::win32
