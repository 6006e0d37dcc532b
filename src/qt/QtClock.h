#pragma once

#include "ports/Clock.h"

namespace tw::qt {

// Waits in a nested event loop, so that window events, timers and other windows go on
// while a drive operation paces its messages. The wait is measured on the monotonic clock
// and sleeps in the event dispatcher: no busy loop, and midnight means nothing to it.
// A wait always lasts its time: once the application is quitting it sleeps without events.
class QtClock final : public Clock {
public:
    void wait(std::chrono::milliseconds duration) override;
    void handleEvents() override;
};

} // namespace tw::qt
