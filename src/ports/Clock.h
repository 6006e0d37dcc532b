#pragma once

#include <chrono>

namespace tw {

// Every wait of the program goes through this port. The desktop shell waits in a nested
// event loop on a monotonic clock, so window events go on being handled; tests use a
// virtual clock that records each wait.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void wait(std::chrono::milliseconds duration) = 0;
    // Handles the window events already pending and returns at once: for long work between
    // waits (a large copy), so that the window does not freeze. Tests have none to handle.
    virtual void handleEvents() {}
    // Time on a monotonic clock, for pacing work that does not wait (a progress text a few
    // times a second). Tests read virtual time.
    [[nodiscard]] virtual std::chrono::milliseconds now() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
};

} // namespace tw
