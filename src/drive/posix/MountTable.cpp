#include "drive/posix/MountTable.h"

#include <sys/statfs.h>

namespace tw::posix {

std::vector<Drive> readMountTable() {
    return {};
}

std::string fileSystemNameOf(const std::string& root) {
    struct statfs sf {};
    if (statfs(root.c_str(), &sf) != 0) {
        return {};
    }
    switch (static_cast<unsigned long>(sf.f_type)) {
    case 0xEF53:
        return "ext4";
    case 0x01021994:
        return "tmpfs";
    case 0x4d44:
        return "FAT";
    default:
        return "unknown";
    }
}

} // namespace tw::posix
