#pragma once

#include "ports/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tw {

// The result of one drive probe. Fields keep their old values when a probe finds nothing.
struct DriveProbe {
    std::string drivePath;   // the drive's root, such as /media/ann/STICK
    std::string autorunPath; // drive path + separator + "autorun.inf"
    std::int16_t found = 0;  // 1 when a ready removable drive was found
};

} // namespace tw
