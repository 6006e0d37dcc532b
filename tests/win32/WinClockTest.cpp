#include "win32/WinClock.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tw::win32 {
namespace {

using namespace std::chrono_literals;
using steady = std::chrono::steady_clock;

// A message-only window that records what reaches it, and runs a hook on each timer tick.
class Recorder {
public:
    Recorder() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Recorder::proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"WinClockTest.Recorder";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Recorder() { DestroyWindow(m_hwnd); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    HWND hwnd() const { return m_hwnd; }
    std::vector<std::string> seen;
    std::function<void(UINT_PTR)> onTimer;

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Recorder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr && message == WM_TIMER) {
            KillTimer(hwnd, wParam);
            self->seen.push_back("timer " + std::to_string(wParam));
            if (self->onTimer) {
                self->onTimer(wParam);
            }
            return 0;
        }
        if (self != nullptr && message == WM_APP) {
            self->seen.push_back("app " + std::to_string(wParam));
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND m_hwnd = nullptr;
};

// One scenario: events during a wait, a wait inside it, the filter, and a quit request.
TEST(WinClock, WaitsItsWholeTimeWhileMessagesAndNestedWaitsRun) {
    WinClock clock;
    Recorder window;
    std::vector<std::string> filtered;
    clock.setFilter([&](MSG& msg) {
        if (msg.hwnd == window.hwnd() && msg.message == WM_APP && msg.wParam == 2) {
            filtered.push_back("swallowed app 2");
            return true;
        }
        return false;
    });
    steady::duration inner{};
    window.onTimer = [&](UINT_PTR id) {
        if (id == 1) {
            const auto start = steady::now();
            clock.wait(40ms);
            inner = steady::now() - start;
            window.seen.push_back("inner done");
        }
        if (id == 2) {
            PostQuitMessage(7); // the program is closing in the middle of a wait
        }
    };
    SetTimer(window.hwnd(), 1, 10, nullptr);
    SetTimer(window.hwnd(), 2, 70, nullptr);
    PostMessageW(window.hwnd(), WM_APP, 1, 0);
    PostMessageW(window.hwnd(), WM_APP, 2, 0);

    const auto start = steady::now();
    clock.wait(150ms);
    const auto outer = steady::now() - start;
    window.seen.push_back("outer done");

    EXPECT_GE(outer, 150ms);
    EXPECT_GE(inner, 40ms);
    EXPECT_EQ(window.seen, (std::vector<std::string>{"app 1", "timer 1", "inner done", "timer 2",
                                                     "outer done"}));
    EXPECT_EQ(filtered, (std::vector<std::string>{"swallowed app 2"}));
    // The quit request was kept for the program's own loop, which ends with its code.
    EXPECT_EQ(clock.run(), 7);
}

TEST(WinClock, AQuitRequestPendingBeforeAWaitDoesNotShortenIt) {
    WinClock clock;
    PostQuitMessage(3);
    for (int i = 0; i < 2; ++i) {
        const auto start = steady::now();
        clock.wait(30ms);
        EXPECT_GE(steady::now() - start, 30ms);
    }
    EXPECT_EQ(clock.run(), 3);
}

TEST(WinClock, ZeroOrNegativeReturnsAtOnceLeavingMessagesQueued) {
    WinClock clock;
    Recorder window;
    PostMessageW(window.hwnd(), WM_APP, 5, 0);
    clock.wait(0ms);
    clock.wait(-5ms);
    EXPECT_TRUE(window.seen.empty());
    MSG msg;
    EXPECT_NE(PeekMessageW(&msg, window.hwnd(), WM_APP, WM_APP, PM_REMOVE), 0);
}

} // namespace
} // namespace tw::win32
