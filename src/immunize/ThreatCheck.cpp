#include "immunize/ThreatCheck.h"

#include "drive/RemoveToQuarantine.h"
#include "drive/modUsbCheck.h"
#include "drive/moddelay.h"

namespace tw {

namespace {

// Warns about an autorun.inf file in the root and deletes it without asking: nothing can
// be built in its place while it is there.
void removeThreat(Ports& ports, const DriveProbe& probe) {
    MainView& view = ports.view;
    status(view, "检测到" + probe.drivePath + "盘存在威胁！等待处理......");
    view.msgBox("文件" + probe.autorunPath + "存在威胁！建议执行扫描！",
                mb::okOnly + mb::exclamation, "系统提示");
    // A refusal is judged by the test below.
    (void)removeToQuarantine(ports, probe.autorunPath, condemned::threatCheck);
    Delay(ports.clock, 1);
    // Cleared only where the drive answered that the file is gone.
    if (ports.fs.lookup(probe.autorunPath) == Presence::absent) {
        status(view, "威胁文件 " + probe.autorunPath + "已成功清除!");
    } else {
        status(view, "威胁文件 " + probe.autorunPath + "清除失败!");
        view.setForeColor(Ctl::Label7, colors::darkRed);
    }
    Delay(ports.clock, 2);
}

} // namespace

void runWithThreatCheck(Ports& ports, AppState& state, ImmunizationSteps steps) {
    MainView& view = ports.view;
    const DriveProbe& probe = state.probe;

    view.setForeColor(Ctl::Label7, colors::green);
    modUsbCheck(ports.fs, state.probe, &state.probedDrive);
    view.setTimer2(false);

    if (probe.found != 1) {
        view.msgBox("没有检测到U盘，无法完成免疫！", mb::okOnly + mb::information, "提示");
    } else {
        // Everything on the drive from here on goes through its pinned root.
        PinnedPorts pinned(ports, probe.drivePath);
        Ports& onDrive = pinned.get();
        status(view, "正在检测" + probe.drivePath + "盘安全状态，请稍候......");
        Delay(ports.clock, 2);
        // Only a file counts: a folder of that name is the protection itself.
        if (onDrive.fs.fileExists(probe.autorunPath)) {
            removeThreat(onDrive, probe);
        }
        status(view, "正在准备为" + probe.drivePath + "盘免疫，请稍等......");
        Delay(ports.clock, 3);
        steps(ports, onDrive, state);
    }

    view.setTimer2(true);
}

} // namespace tw
