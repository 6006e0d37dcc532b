#include "drive/FileSystem.h"

namespace tw {

std::string joinPath(const FileSystem& fs, const std::string& folder, const std::string& name) {
    const char sep = fs.separator();
    if (!folder.empty() && folder.back() == sep) {
        return folder + name;
    }
    return folder + sep + name;
}

} // namespace tw
