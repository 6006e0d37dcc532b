#pragma once

#include "ports/Clock.h"
#include "ports/FileSystem.h"
#include "ports/Host.h"
#include "ports/Quarantine.h"

#include <ostream>
#include <string>
#include <vector>

namespace tw {

// "tarnwick --full-scan PATH [--dry-run]": the full scan of the removable drive mounted at
// PATH, without a window. Prints each finding and action as it goes and the summary at the
// end; asks nothing (suspicious items are listed and left). Exit status: 0 nothing found,
// 1 something found, 2 an error (not a removable drive, no rules, the drive unreadable).
int FullScanCommand(FileSystem& fs, Host& host, Quarantine& quarantine, Clock& clock,
                    const std::vector<std::string>& arguments, std::ostream& out,
                    std::ostream& err);

} // namespace tw
