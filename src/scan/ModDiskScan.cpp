#include "scan/ModDiskScan.h"

#include "drive/RemoveToQuarantine.h"
#include "drive/moddelay.h"

namespace tw {

void ModDiskScan(Ports& ports) {
    FileSystem& fs = ports.fs;
    MainView& view = ports.view;
    bool threatFound = false;

    status(view, "准备扫描本地硬盘，请稍候......");
    Delay(ports.clock, 2);

    for (const Drive& drive : fs.drives()) {
        // The type first: readiness is asked of fixed disks only (a network mount may hang).
        if (drive.type != drivetype::fixed || !fs.isReady(drive)) {
            continue;
        }
        const std::string& drivePath = drive.path;
        const std::string autorunPath = joinPath(fs, drivePath, "autorun.inf");
        PinnedPorts pinned(ports, drivePath);
        FileSystem& disk = pinned.get().fs;

        status(view, "正在扫描" + drivePath + "盘，请稍候......", colors::green);
        Delay(ports.clock, 1);
        if (!disk.fileExists(autorunPath)) {
            continue;
        }

        threatFound = true;
        status(view, "检测到" + autorunPath + "存在威胁，等待处理....", colors::darkRed);
        const int answer = view.msgBox("检测到" + drivePath + "盘中存在Autorun威胁！是否处理？",
                                       mb::okCancel, "威胁");
        if (answer != mb::ok) {
            continue;
        }
        status(view, "正在清除" + autorunPath + "，请稍候......");
        (void)removeToQuarantine(pinned.get(), autorunPath, condemned::diskScan);
        Delay(ports.clock, 1);
        if (disk.lookup(autorunPath) == Presence::absent) {
            status(view, "成功清除" + autorunPath + "!", colors::green);
            view.msgBox(autorunPath + "处理成功！", mb::okOnly + mb::information, "提示");
        } else {
            status(view, autorunPath + "处理失败！");
            view.msgBox(autorunPath + "处理失败！", mb::okOnly + mb::exclamation, "提示");
        }
    }

    status(view, threatFound ? "硬盘扫描完成，已处理所有检测到的Auto威胁！"
                             : "硬盘扫描完成，没有检测到Auto威胁！");
    view.setTimer2(true);
    view.setEnabled(Ctl::Label2, true);
    view.setEnabled(Ctl::Label3, true);
    view.setEnabled(Ctl::Label6, true);
    Delay(ports.clock, 2);
}

} // namespace tw
