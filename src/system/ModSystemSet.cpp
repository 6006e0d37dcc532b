#include "system/ModSystemSet.h"

#include "system/UndoRecord.h"

namespace tw {

void ModSystemSet(Ports& ports) {
    MainView& view = ports.view;

    if (view.msgBox("操作将关闭系统自动播放功能，继续吗？", mb::yesNo, "提示") != mb::yes) {
        view.msgBox("您取消了系统免疫操作！", mb::okOnly + mb::information, "提示");
        return;
    }
    status(view, "准备执行系统Auto病毒免疫，请稍候......");

    CompanionOutcome outcome = runCompanion(ports.fs, ports.host, ports.clock, {}, [&view] {
        status(view, "正在关闭系统自动播放功能，请稍候......");
    });
    // The script's word alone claims nothing: the settings must read back switched off.
    if (outcome == CompanionOutcome::done) {
        const auto now = ports.host.systemSettings();
        if (!now || !settingsSwitchedOff(*now)) {
            outcome = CompanionOutcome::failed;
        }
    }
    switch (outcome) {
    case CompanionOutcome::done:
        status(view, "系统免疫操作结束！");
        view.msgBox("免疫操作结束！", mb::okOnly + mb::information, "提示");
        break;
    case CompanionOutcome::timedOut:
        reportSystemFailure(view, "系统免疫操作超时，请稍后重试！");
        break;
    default:
        // Also a desktop without the settings the script knows: nothing was switched off.
        reportSystemFailure(view, "系统免疫操作失败！");
        break;
    }
}

} // namespace tw
