#pragma once

#include "ports/DriveProbe.h"
#include "ports/FileSystem.h"

#include <optional>

namespace tw {

// Finds the first ready removable drive. Fills the probe; a field that is not written
// keeps its value. When a drive is found and probedDrive is given, it receives it.
void modUsbCheck(FileSystem& fs, DriveProbe& probe, std::optional<Drive>* probedDrive = nullptr);

} // namespace tw
