#pragma once

#include "ports/Clock.h"
#include "support/Transcript.h"

#include <chrono>
#include <functional>
#include <map>
#include <utility>

namespace tw::test {

// Virtual time. Each wait is recorded ("wait 2s", "wait 100ms") and returns at once after
// running, in time order, the events scheduled inside it, as window events run during a
// real wait.
class VirtualClock final : public Clock {
public:
    using ms = std::chrono::milliseconds;

    explicit VirtualClock(Transcript& transcript) : m_transcript(transcript) {}

    void wait(ms duration) override;

    [[nodiscard]] ms now() const override { return m_now; }
    // Runs fn when virtual time reaches at. Returns an id for cancel().
    int schedule(ms at, std::function<void()> fn);
    void cancel(int id);
    // Lets time pass outside any wait (the idle event loop), running what falls due.
    void idle(ms duration);
    // Total time spent in recorded waits.
    [[nodiscard]] ms waited() const { return m_waited; }
    // Quiet: waits are not written to the transcript.
    void setRecording(bool on) { m_recording = on; }

private:
    void advanceTo(ms target);

    Transcript& m_transcript;
    ms m_now{0};
    ms m_waited{0};
    bool m_recording = true;
    int m_nextId = 1;
    // Ordered by time, then by the order of scheduling.
    std::map<std::pair<ms, int>, std::function<void()>> m_events;
};

} // namespace tw::test
