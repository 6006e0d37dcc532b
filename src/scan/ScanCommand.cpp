#include "scan/ScanCommand.h"

#include "drive/modUsbCheck.h"
#include "drive/moddelay.h"
#include "scan/ModQuickScan.h"

namespace tw {

namespace {

void noDrive(MainView& view) {
    status(view, "没有检测到U盘，无法完成扫描！");
    view.msgBox("没有检测到U盘，无法完成扫描！", mb::okOnly + mb::information, "提示");
}

} // namespace

void ScanCommand(Ports& ports) {
    MainView& view = ports.view;
    view.setTimer2(false);
    if (view.optionValue(0)) {
        DriveProbe probe; // the command's own, not the monitor's
        modUsbCheck(ports.fs, probe);
        if (probe.found == 1) {
            // A drive that could not be read to the end is not reported as scanned.
            status(view,
                   QuickScan(ports, probe.drivePath) ? "快速扫描已完成！" : unreadableDriveText);
            Delay(ports.clock, 2);
            view.setTimer2(true);
        } else {
            noDrive(view);
        }
    } else if (view.optionValue(1)) {
        DriveProbe probe;
        modUsbCheck(ports.fs, probe);
        if (probe.found == 1) {
            // The full scan is not built: nothing on the drive is read.
            status(view, "检测不到完全扫描模块，无法继续......");
            view.msgBox("本模块正在开发，敬请期待！", mb::okOnly + mb::information, "提示");
        } else {
            noDrive(view);
        }
    }
    view.setTimer2(true);
}

} // namespace tw
