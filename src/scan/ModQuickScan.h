#pragma once

#include "ports/Ports.h"

#include <string>

namespace tw {

// The quick-scan engine: three phases over the root of the drive at drivePath, with the
// drive pinned for the whole scan. False when the drive's root could not be read at the end
// of a phase with nothing found, or after a step that failed: the scan could not tell
// whether the drive is clean.
bool QuickScan(Ports& ports, const std::string& drivePath);

// What a phase shows instead of its nothing-found text when the drive's root can no longer
// be read: nothing is known to be clean.
inline constexpr const char* unreadableDriveText = "没有检测到U盘，无法完成扫描！";

} // namespace tw
