#include "support/VirtualClock.h"

namespace tw::test {

void VirtualClock::wait(ms duration) {
    if (m_recording) {
        const auto count = duration.count();
        m_transcript.add(count % 1000 == 0 ? "wait " + std::to_string(count / 1000) + "s"
                                           : "wait " + std::to_string(count) + "ms");
    }
    m_waited += duration;
    advanceTo(m_now + duration);
}

int VirtualClock::schedule(ms at, std::function<void()> fn) {
    const int id = m_nextId++;
    m_events.emplace(std::make_pair(at, id), std::move(fn));
    return id;
}

void VirtualClock::cancel(int id) {
    for (auto it = m_events.begin(); it != m_events.end(); ++it) {
        if (it->first.second == id) {
            m_events.erase(it);
            return;
        }
    }
}

void VirtualClock::idle(ms duration) {
    advanceTo(m_now + duration);
}

void VirtualClock::advanceTo(ms target) {
    while (!m_events.empty() && m_events.begin()->first.first <= target) {
        auto node = m_events.extract(m_events.begin());
        if (node.key().first > m_now) {
            m_now = node.key().first;
        }
        node.mapped()();
    }
    if (target > m_now) {
        m_now = target;
    }
}

} // namespace tw::test
