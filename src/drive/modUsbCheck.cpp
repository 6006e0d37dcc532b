#include "drive/modUsbCheck.h"

namespace tw {

void modUsbCheck(FileSystem& fs, DriveProbe& probe, std::optional<Drive>* probedDrive) {
    for (const Drive& drive : fs.drives()) {
        // Readiness is asked only of removable drives: a hung network mount must not
        // freeze the window.
        if (drive.type == drivetype::removable && fs.isReady(drive)) {
            probe.drivePath = drive.path;
            probe.autorunPath = joinPath(fs, drive.path, "autorun.inf");
            probe.found = 1;
            if (probedDrive != nullptr) {
                *probedDrive = drive;
            }
            return;
        }
        probe.found = 0;
    }
    probe.found = 0;
}

} // namespace tw
