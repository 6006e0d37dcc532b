#pragma once

#include "ports/Clock.h"

#include <thread>

namespace tw {

// Waits by sleeping, for work that runs without a window (the command line): there are no
// window events to handle.
class SleepClock final : public Clock {
public:
    void wait(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

} // namespace tw
