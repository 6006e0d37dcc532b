#pragma once

#include "support/Transcript.h"

#include <string>

namespace tw::test {

// Pieces of the transcript that the tests of several subsystems expect, written out once.

// A tick of the drive monitor that finds the stick at drivePath.
inline Lines stickConnected(const std::string& drivePath) {
    return {"Label7 colour green", "Label7: 检测到 " + drivePath + "盘已连接！"};
}

// The end of the start-up hard-disk scan: the monitor starts, the drive actions are
// enabled, and the status line stays a moment.
inline const Lines diskScanEnd = {
    "Timer2 on", "enable Label2", "enable Label3", "enable Label6", "wait 2s",
};

} // namespace tw::test
