#pragma once

#include "ports/FileSystem.h"

#include <string>
#include <vector>

namespace tw {

// Parses a drive declaration (the TARNWICK_DRIVES variable): entries "type=path" separated by
// ';', with the types removable, fixed, network, cdrom and ram (or their numbers 1 to 5).
// Entries of another type are left out. Each path goes through the backend's cleanPath,
// which takes its trailing separators off.
std::vector<Drive> parseDeclaredDrives(const std::string& declaration,
                                       std::string (*cleanPath)(std::string));

} // namespace tw
