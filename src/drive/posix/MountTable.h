#pragma once

#include "drive/FileSystem.h"

#include <string>
#include <vector>

namespace tw::posix {

// The drives of the mount table (/proc/self/mountinfo), with their types, in mount order.
std::vector<Drive> readMountTable();

// The file system's name for a drive's root: "FAT", "FAT32", "NTFS" where they are,
// the file system's own name otherwise.
std::string fileSystemNameOf(const std::string& root);

} // namespace tw::posix
