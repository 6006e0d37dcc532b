#include "system/SystemUndo.h"

#include "system/CompanionScript.h"

namespace tw {

namespace {

const std::vector<std::string> undoArguments = {"undo"};

constexpr const char* undoneText = "已恢复系统免疫前的自动播放设置！";
constexpr const char* nothingText = "没有找到系统免疫的记录，无需撤销！";
constexpr const char* failedText = "系统免疫操作失败！";
constexpr const char* timedOutText = "系统免疫操作超时，请稍后重试！";

} // namespace

void SystemUndoClick(Ports& ports) {
    MainView& view = ports.view;
    const std::string companion = companionPath(ports.fs, ports.host);
    if (!ports.fs.fileExists(companion)) {
        status(view, "找不到" + companion + "无法完成操作！");
        view.setTimer2(true);
        return;
    }
    view.setTimer2(false);
    if (view.msgBox("操作将恢复系统免疫前的自动播放设置，继续吗？", mb::yesNo, "提示") != mb::yes) {
        view.msgBox("您取消了撤销系统免疫操作！", mb::okOnly + mb::information, "提示");
        view.setTimer2(true);
        return;
    }
    status(view, "正在恢复系统自动播放设置，请稍候......");
    switch (runCompanion(ports.fs, ports.host, ports.clock, undoArguments, [] {})) {
    case CompanionOutcome::done:
        status(view, undoneText, colors::green);
        view.msgBox(undoneText, mb::okOnly + mb::information, "提示");
        break;
    case CompanionOutcome::nothingRecorded:
        status(view, nothingText, colors::green);
        view.msgBox(nothingText, mb::okOnly + mb::information, "提示");
        break;
    case CompanionOutcome::timedOut:
        reportSystemFailure(view, timedOutText);
        break;
    default:
        reportSystemFailure(view, failedText);
        break;
    }
    view.setTimer2(true);
}

int SystemUndoCommand(FileSystem& fs, Host& host, Clock& clock, std::ostream& out,
                      std::ostream& err) {
    const std::string companion = companionPath(fs, host);
    if (!fs.fileExists(companion)) {
        err << "找不到" << companion << "无法完成操作！ (" << companion << " is missing.)\n";
        return 1;
    }
    switch (runCompanion(fs, host, clock, undoArguments, [] {})) {
    case CompanionOutcome::done:
        out << undoneText
            << " (The AutoPlay settings are back as they were before system immunization.)\n";
        return 0;
    case CompanionOutcome::nothingRecorded:
        out << nothingText << " (Nothing to undo: no system immunization was recorded.)\n";
        return 0;
    case CompanionOutcome::unsupported:
        err << failedText
            << " (This desktop has none of the AutoPlay settings Tarnwick knows: GNOME's.)\n";
        return 1;
    case CompanionOutcome::timedOut:
        err << timedOutText << " (The companion script did not finish in time.)\n";
        return 1;
    default:
        err << failedText << " (The settings could not be put back.)\n";
        return 1;
    }
}

} // namespace tw
