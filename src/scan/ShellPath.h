#pragma once

#include <string>
#include <string_view>

namespace tw {

// The path Windows opens for a program named in autorun.inf: '/' read as '\', and every
// name on the way without its trailing dots and blanks ("evil.exe. " starts evil.exe). A
// name that is nothing but dots and blanks, other than "." and "..", stays in the folder it
// is in, as "." does. Nothing else changes: the drive, letter case and parameters stay.
// Short (8.3) names are left to the backend's lookup, which knows the volume.
std::string shellPath(std::string_view target);

} // namespace tw
