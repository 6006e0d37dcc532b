#pragma once

#include "ports/Host.h"
#include "ports/FileSystem.h"

#include <string>

namespace tw {

// The companion file's name, beside the program.
inline constexpr const char* companionFileName = "systemset.dll";

// Tests that the companion file lies in the program's own folder. The colour travels as
// decimal text, as the start-up sequence expects it.
void ModAppCheck(FileSystem& fs, const Host& host, bool& intact, std::string& caption,
                 std::string& colour);

} // namespace tw
