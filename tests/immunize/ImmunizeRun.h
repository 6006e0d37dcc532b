#pragma once

#include "support/Harness.h"

#include <string>

namespace tw::test {

inline constexpr const char* guardName = "Velmora免疫文件夹...";

// Clicks a label through the main window, the drive monitor running before the click as it
// does in the program, and returns what the click did.
inline Lines click(Harness& h, Ctl label, bool monitorRunning = true) {
    if (monitorRunning) {
        h.view.setTimer2(true);
    }
    const std::size_t mark = h.transcript.size();
    h.form().Label_Click(label);
    return h.transcript.since(mark);
}

// Runs fn at a moment of virtual time counted from now.
inline void after(Harness& h, std::chrono::milliseconds delay, std::function<void()> fn) {
    h.clock.schedule(h.clock.now() + delay, std::move(fn));
}

} // namespace tw::test
