#pragma once

#include "ports/Clock.h"

#include <windows.h>

#include <functional>

namespace tw::win32 {

// The wait of the Windows build: a message loop that runs until a monotonic deadline,
// sleeping in MsgWaitForMultipleObjectsEx between messages, so windows stay usable and the
// processor idle. A quit request that arrives during a wait is kept and passed on when the
// wait ends; the wait itself never ends early.
class WinClock final : public Clock {
public:
    // Gets each message first (keyboard shortcuts, dialog keys); true when it handled it.
    using Filter = std::function<bool(MSG&)>;

    void setFilter(Filter filter) { m_filter = std::move(filter); }

    void wait(std::chrono::milliseconds duration) override;
    // Handles the messages already queued (a quit request is kept) and returns.
    void handleEvents() override;

    // The program's own message loop, with the same filter; returns the quit code.
    int run();

private:
    void dispatch(MSG& msg);

    Filter m_filter;
};

} // namespace tw::win32
