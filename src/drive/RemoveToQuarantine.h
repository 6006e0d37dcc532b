#pragma once

#include "ports/Ports.h"

#include <optional>
#include <string>

namespace tw {

// Removes a file the way the program removes every file: its bytes go into the quarantine
// first, and the file is deleted only once that copy is whole and on the disk. When no copy
// can be made (the file cannot be read, the store is full) the file stays. A file still there
// after its delete keeps no copy in the quarantine; one the drive can no longer tell of keeps
// its copy, for it may be gone. True only when the drive answered that the file is gone;
// callers judge by testing again all the same. Window events go on being
// handled during a long copy.
//
// A link, FIFO, socket or device file holds no data and is never opened: the quarantine
// records it (a link with its text) and the entry itself is deleted, never what a link
// points at.
bool removeToQuarantine(Ports& ports, const std::string& path, const char* condemnedBy);
// The same, giving the quarantine's id of the removed file; nothing when it stays.
std::optional<std::string> removeToQuarantineId(Ports& ports, const std::string& path,
                                                const char* condemnedBy);

} // namespace tw
