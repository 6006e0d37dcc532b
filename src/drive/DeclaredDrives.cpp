#include "drive/DeclaredDrives.h"

#include <array>

namespace tw {

namespace {

int driveTypeFromName(const std::string& name) {
    static const std::array<const char*, 5> names = {"removable", "fixed", "network", "cdrom",
                                                     "ram"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (name == names[i] || name == std::to_string(i + 1)) {
            return static_cast<int>(i) + 1;
        }
    }
    return drivetype::unknown;
}

} // namespace

std::vector<Drive> parseDeclaredDrives(const std::string& declaration,
                                       std::string (*cleanPath)(std::string)) {
    std::vector<Drive> drives;
    std::size_t start = 0;
    while (start <= declaration.size()) {
        auto end = declaration.find(';', start);
        if (end == std::string::npos) {
            end = declaration.size();
        }
        const std::string item = declaration.substr(start, end - start);
        const auto eq = item.find('=');
        if (eq != std::string::npos && eq + 1 < item.size()) {
            Drive drive;
            drive.type = driveTypeFromName(item.substr(0, eq));
            drive.path = cleanPath(item.substr(eq + 1));
            drive.id = "declared:" + drive.path;
            if (drive.type != drivetype::unknown) {
                drives.push_back(std::move(drive));
            }
        }
        start = end + 1;
    }
    return drives;
}

} // namespace tw
