#include "system/SystemImmunization.h"

#include "drive/ModAppCheck.h"

namespace tw {

void SystemImmunizationClick(Ports& ports) {
    const std::string companion = joinPath(ports.fs, ports.host.programFolder(), companionFileName);
    if (ports.fs.fileExists(companion)) {
        ports.view.setTimer2(false);
        ModSystemSet(ports);
    } else {
        status(ports.view, "找不到" + companion + "无法完成操作！");
    }
    // Also when the monitor was not paused: a click during the start-up disk scan starts it.
    ports.view.setTimer2(true);
}

} // namespace tw
