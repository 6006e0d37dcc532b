#include "drive/DriveMonitor.h"

#include "drive/modUsbCheck.h"
#include "drive/moddelay.h"

namespace tw {

void DriveMonitorTick(Ports& ports, AppState& state) {
    modUsbCheck(ports.fs, state.probe, &state.probedDrive);
    if (state.probe.found == 1) {
        status(ports.view, "检测到 " + state.probe.drivePath + "盘已连接！", colors::green);
        state.connected = 1;
    } else if (state.connected == 1) {
        status(ports.view, "检测到U盘已移除！");
        Delay(ports.clock, 1);
        state.connected = 0;
    } else {
        status(ports.view, "检测不到U盘，请检查是否已连接！");
    }
}

} // namespace tw
