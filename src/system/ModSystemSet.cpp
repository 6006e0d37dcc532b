#include "system/ModSystemSet.h"

#include "drive/ModAppCheck.h"
#include "drive/moddelay.h"

namespace tw {

namespace {

constexpr const char* workingCopyName = "systemset.bat";

void reportFailure(MainView& view, const std::string& text) {
    status(view, text, colors::darkRed);
    view.msgBox(text, mb::okOnly + mb::exclamation, "警告");
}

} // namespace

void ModSystemSet(Ports& ports) {
    MainView& view = ports.view;
    FileSystem& fs = ports.fs;

    if (view.msgBox("操作将关闭系统自动播放功能，继续吗？", mb::yesNo, "提示") != mb::yes) {
        view.msgBox("您取消了系统免疫操作！", mb::okOnly + mb::information, "提示");
        return;
    }
    status(view, "准备执行系统Auto病毒免疫，请稍候......");

    const std::string companion = joinPath(fs, ports.host.programFolder(), companionFileName);
    const std::string workingCopy = joinPath(fs, ports.host.tempFolder(), workingCopyName);
    // Waiting for a copy that was never made, or never run, would end in a false success.
    if (!fs.copyFile(companion, workingCopy, true) || !ports.host.startScript(workingCopy)) {
        reportFailure(view, "系统免疫操作失败！");
        return;
    }
    Delay(ports.clock, 2);

    // The script removes its copy as its last act. A script that never does must not hold
    // the monitor paused for ever.
    std::chrono::milliseconds waited{0};
    while (fs.fileExists(workingCopy)) {
        if (waited >= systemSetTimeout) {
            reportFailure(view, "系统免疫操作超时，请稍后重试！");
            return;
        }
        status(view, "正在关闭系统自动播放功能，请稍候......");
        ports.clock.wait(systemSetPollInterval);
        waited += systemSetPollInterval;
    }
    status(view, "系统免疫操作结束！");
    view.msgBox("免疫操作结束！", mb::okOnly + mb::information, "提示");
}

} // namespace tw
