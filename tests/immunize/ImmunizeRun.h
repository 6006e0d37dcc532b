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

// What every run on a drive without an autorun.inf file shows before its own steps.
inline Lines opening(const std::string& drivePath) {
    return {
        "Label7 colour green",
        "Timer2 off",
        "Label7: 正在检测" + drivePath + "盘安全状态，请稍候......",
        "wait 2s",
        "Label7: 正在准备为" + drivePath + "盘免疫，请稍等......",
        "wait 3s",
    };
}

inline Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Runs fn at a moment of virtual time counted from now.
inline void after(Harness& h, std::chrono::milliseconds delay, std::function<void()> fn) {
    h.clock.schedule(h.clock.now() + delay, std::move(fn));
}

} // namespace tw::test
