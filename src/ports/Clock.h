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
};

} // namespace tw
