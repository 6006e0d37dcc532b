#include "system/SystemUndo.h"

#include "system/CompanionScript.h"
#include "system/UndoRecord.h"

#include <functional>

namespace tw {

namespace {

const std::vector<std::string> undoArguments = {"undo"};

enum class Undo { undone, nothingRecorded, badRecord, unsupported, timedOut, failed, mismatch };

struct UndoText {
    const char* zh;
    const char* en;
};

UndoText textOf(Undo undo) {
    switch (undo) {
    case Undo::undone:
        return {"已恢复系统免疫前的自动播放设置！",
                "The AutoPlay settings are back as they were before system immunization."};
    case Undo::nothingRecorded:
        return {"没有找到系统免疫的记录，无需撤销！",
                "Nothing to undo: no system immunization was recorded."};
    case Undo::badRecord:
        return {"系统免疫的记录已损坏，无法撤销！",
                "The undo record is not one Tarnwick wrote; it was left as it is."};
    case Undo::unsupported:
        return {"系统免疫操作失败！",
                "This desktop has none of the AutoPlay settings Tarnwick knows: GNOME's."};
    case Undo::timedOut:
        return {"系统免疫操作超时，请稍后重试！", "The companion script did not finish in time."};
    case Undo::mismatch:
        return {"系统免疫操作失败！", "The settings read back are not the recorded ones."};
    case Undo::failed:
        break;
    }
    return {"系统免疫操作失败！", "The settings could not be put back."};
}

// Judges the record before anything runs, and the settings after: the script's word alone
// claims nothing.
Undo undoSystem(FileSystem& fs, Host& host, Clock& clock,
                const std::function<void()>& whileWaiting) {
    const UndoRecordFile record = host.readUndoRecord();
    switch (record.state) {
    case UndoRecordFile::State::absent:
        return Undo::nothingRecorded;
    case UndoRecordFile::State::refused:
        return Undo::badRecord;
    case UndoRecordFile::State::unreadable:
        return Undo::failed;
    case UndoRecordFile::State::text:
        break;
    }
    const auto before = host.systemSettings();
    if (!before) {
        return Undo::unsupported;
    }
    const auto recorded = parseUndoRecord(record.text, *before);
    if (!recorded) {
        return Undo::badRecord;
    }
    switch (runCompanion(fs, host, clock, undoArguments, whileWaiting)) {
    case CompanionOutcome::done:
        break;
    case CompanionOutcome::badRecord:
        return Undo::badRecord;
    case CompanionOutcome::unsupported:
        return Undo::unsupported;
    case CompanionOutcome::timedOut:
        return Undo::timedOut;
    default:
        return Undo::failed;
    }
    const auto after = host.systemSettings();
    return after && settingsAsRecorded(*after, *recorded) ? Undo::undone : Undo::mismatch;
}

bool succeeded(Undo undo) {
    return undo == Undo::undone || undo == Undo::nothingRecorded;
}

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
    const Undo undo = undoSystem(ports.fs, ports.host, ports.clock, [] {});
    const UndoText text = textOf(undo);
    if (succeeded(undo)) {
        status(view, text.zh, colors::green);
        view.msgBox(text.zh, mb::okOnly + mb::information, "提示");
    } else {
        reportSystemFailure(view, text.zh);
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
    const Undo undo = undoSystem(fs, host, clock, [] {});
    const UndoText text = textOf(undo);
    (succeeded(undo) ? out : err) << text.zh << " (" << text.en << ")\n";
    return succeeded(undo) ? 0 : 1;
}

} // namespace tw
