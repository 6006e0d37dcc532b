#include "drive/ModAppCheck.h"

#include "ports/Color.h"

namespace tw {

void ModAppCheck(FileSystem& fs, const Host& host, bool& intact, std::string& caption,
                 std::string& colour) {
    const std::string companion = joinPath(fs, host.programFolder(), companionFileName);
    if (fs.fileExists(companion)) {
        intact = true;
        caption = "√Tarnwick完整性良好";
        colour = std::to_string(colors::green);
    } else {
        intact = false;
        caption = "×系统免疫模块丢失！";
        colour = std::to_string(colors::darkRed);
    }
}

} // namespace tw
