#include "system/SystemUndo.h"

#include "support/Harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>

namespace tw::test {
namespace {

using std::chrono::milliseconds;

const std::string recorded = "user autorun on\nmachine autorun -\n";

// A program with its companion file, the settings switched off, the record of what they were
// before, and a script stand-in that answers with this outcome half a second after it was
// started (and for "done" puts the recorded values back, unless told it does not).
struct UndoRun {
    explicit UndoRun(const std::string& outcome, bool putsBack = true) {
        writeFile(h.program / "systemset.dll", "companion");
        h.host.switchSettingsOff();
        h.host.record = {UndoRecordFile::State::text, recorded};
        h.host.onStart = [this, outcome, putsBack](const std::string& path) {
            h.clock.schedule(h.clock.now() + milliseconds(500), [this, path, outcome, putsBack] {
                writeFile(h.temp / "systemset.out", outcome + "\n");
                if (outcome == "done" && putsBack) {
                    (*h.host.settings)[0].value = "on";
                    (*h.host.settings)[1].value = "-";
                }
                std::filesystem::remove(path);
            });
        };
    }
    [[nodiscard]] std::string start() const { return "start " + h.temp / "systemset.bat undo"; }

    Harness h;
};

const Lines asked = {
    "Timer2 off",
    "box[4] 提示: 操作将恢复系统免疫前的自动播放设置，继续吗？ -> Yes",
    "Label7: 正在恢复系统自动播放设置，请稍候......",
};

Lines failure(const std::string& text) {
    return {"Label7 colour darkred", "Label7: " + text, "box[48] 警告: " + text + " -> OK"};
}

TEST(SystemUndo, MenuItemAsksRunsTheScriptWithUndoAndReportsEachOutcome) {
    const std::string undone = "已恢复系统免疫前的自动播放设置！";
    struct Case {
        const char* outcome;
        bool putsBack;
        Lines report;
    };
    const Case cases[] = {
        {"done",
         true,
         {"Label7 colour green", "Label7: " + undone, "box[64] 提示: " + undone + " -> OK"}},
        // The script's word against the settings read back: the settings win.
        {"done", false, failure("系统免疫操作失败！")},
        {"norecord", true, failure("系统免疫操作失败！")},
        {"badrecord", true, failure("系统免疫的记录已损坏，无法撤销！")},
        {"unsupported", true, failure("系统免疫操作失败！")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.outcome) + (c.putsBack ? "" : ", nothing put back"));
        UndoRun run(c.outcome, c.putsBack);
        run.h.view.answer({mb::yes});
        run.h.form().vbundosystem_Click();
        EXPECT_EQ(run.h.lines(), cat({asked, {run.start(), "wait 2s"}, c.report, {"Timer2 on"}}));
        EXPECT_FALSE(exists(run.h.temp / "systemset.out"));
    }

    // Declined: nothing is started. Without the companion file: only the status line.
    UndoRun declined("done");
    declined.h.view.answer({mb::no});
    declined.h.form().vbundosystem_Click();
    EXPECT_EQ(
        declined.h.lines(),
        (Lines{"Timer2 off", "box[4] 提示: 操作将恢复系统免疫前的自动播放设置，继续吗？ -> No",
               "box[64] 提示: 您取消了撤销系统免疫操作！ -> OK", "Timer2 on"}));
    Harness missing;
    missing.form().vbundosystem_Click();
    EXPECT_EQ(missing.lines(), (Lines{"Label7: 找不到" + missing.program.path() +
                                          native("/systemset.dll无法完成操作！"),
                                      "Timer2 on"}));
}

// The record is judged before anything runs: no record, a refused or junk one, or settings
// that cannot be read start nothing, and a bad record is never taken for success.
TEST(SystemUndo, RecordIsJudgedBeforeTheScriptRuns) {
    using State = UndoRecordFile::State;
    const std::string bad = "系统免疫的记录已损坏，无法撤销！";
    struct Case {
        const char* name;
        UndoRecordFile record;
        bool settingsReadable;
        Lines report;
    };
    const Case cases[] = {
        {"no record",
         {State::absent, ""},
         true,
         {"Label7 colour green", "Label7: 没有找到系统免疫的记录，无需撤销！",
          "box[64] 提示: 没有找到系统免疫的记录，无需撤销！ -> OK"}},
        {"a link, too large, or not a file", {State::refused, ""}, true, failure(bad)},
        {"unreadable", {State::unreadable, ""}, true, failure("系统免疫操作失败！")},
        {"binary",
         {State::text, std::string("\x7f"
                                   "ELF\x02\x01\0\0",
                                   8)},
         true,
         failure(bad)},
        {"a shell command", {State::text, "user autorun on; rm -rf ~\n"}, true, failure(bad)},
        {"an unknown setting", {State::text, "user autorun on\nsomething 1\n"}, true, failure(bad)},
        {"a setting twice",
         {State::text, "user autorun on\nuser autorun off\n"},
         true,
         failure(bad)},
        {"empty", {State::text, "\r\n"}, true, failure(bad)},
        {"over the size bound",
         {State::text, "user autorun on\n" + std::string(5000, '\n')},
         true,
         failure(bad)},
        {"settings unreadable", {State::text, recorded}, false, failure("系统免疫操作失败！")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UndoRun run("done");
        run.h.host.record = c.record;
        if (!c.settingsReadable) {
            run.h.host.settings.reset();
        }
        run.h.view.answer({mb::yes});
        run.h.form().vbundosystem_Click();
        EXPECT_EQ(run.h.lines(), cat({asked, c.report, {"Timer2 on"}}));
    }
    // A record from Windows' cmd: CR LF line ends, a blank after the value, hex digits.
    UndoRun windows("done");
    windows.h.host.record = {State::text, "user autorun ON \r\nmachine autorun -\r\n"};
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(SystemUndoCommand(windows.h.faulty, windows.h.host, windows.h.clock, out, err), 0)
        << err.str();
}

TEST(SystemUndo, MenuItemIsIgnoredWhileADriveActionRuns) {
    UndoRun run("done");
    run.h.state.actionRunning = true;
    run.h.form().vbundosystem_Click();
    EXPECT_EQ(run.h.lines(), Lines{});
}

TEST(SystemUndo, CommandLinePrintsChineseWithEnglishAndReturnsTheExitStatus) {
    struct Case {
        const char* outcome;
        bool putsBack;
        int status;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {"done", true, 0,
         "已恢复系统免疫前的自动播放设置！ (The AutoPlay settings are back as they were before "
         "system immunization.)\n",
         ""},
        {"done", false, 1, "",
         "系统免疫操作失败！ (The settings read back are not the recorded ones.)\n"},
        {"badrecord", true, 1, "",
         "系统免疫的记录已损坏，无法撤销！ (The undo record is not one Tarnwick wrote; it was left "
         "as it is.)\n"},
        {"unsupported", true, 1, "",
         "系统免疫操作失败！ (This desktop has none of the AutoPlay settings Tarnwick knows: "
         "GNOME's.)\n"},
        {"failed", true, 1, "", "系统免疫操作失败！ (The settings could not be put back.)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcome);
        UndoRun run(c.outcome, c.putsBack);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(SystemUndoCommand(run.h.faulty, run.h.host, run.h.clock, out, err), c.status);
        EXPECT_EQ(out.str(), c.out);
        EXPECT_EQ(err.str(), c.err);
        EXPECT_EQ(run.h.lines(), (Lines{run.start(), "wait 2s"}));
    }
    UndoRun none("done");
    none.h.host.record = {};
    none.h.host.record.state = UndoRecordFile::State::absent;
    std::ostringstream noneOut;
    std::ostringstream noneErr;
    EXPECT_EQ(SystemUndoCommand(none.h.faulty, none.h.host, none.h.clock, noneOut, noneErr), 0);
    EXPECT_EQ(noneOut.str(),
              "没有找到系统免疫的记录，无需撤销！ (Nothing to undo: no system immunization was "
              "recorded.)\n");
    EXPECT_EQ(none.h.lines(), Lines{});
    Harness missing;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(SystemUndoCommand(missing.faulty, missing.host, missing.clock, out, err), 1);
    const std::string companion = missing.program.path() + native("/systemset.dll");
    EXPECT_EQ(err.str(), "找不到" + companion + "无法完成操作！ (" + companion + " is missing.)\n");
    EXPECT_EQ(missing.lines(), Lines{});
}

} // namespace
} // namespace tw::test
