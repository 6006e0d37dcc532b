#include "system/SystemUndo.h"

#include "support/Harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>

namespace tw::test {
namespace {

using std::chrono::milliseconds;

// A program with its companion file and a script stand-in that answers with this outcome
// half a second after it was started.
struct UndoRun {
    explicit UndoRun(const std::string& outcome) {
        writeFile(h.program / "systemset.dll", "companion");
        h.host.onStart = [this, outcome](const std::string& path) {
            h.clock.schedule(h.clock.now() + milliseconds(500), [this, path, outcome] {
                writeFile(h.temp / "systemset.out", outcome + "\n");
                std::filesystem::remove(path);
            });
        };
    }
    [[nodiscard]] std::string start() const { return "start " + h.temp / "systemset.bat undo"; }

    Harness h;
};

TEST(SystemUndo, MenuItemAsksRunsTheScriptWithUndoAndReportsEachOutcome) {
    const Lines asked = {
        "Timer2 off",
        "box[4] 提示: 操作将恢复系统免疫前的自动播放设置，继续吗？ -> Yes",
        "Label7: 正在恢复系统自动播放设置，请稍候......",
    };
    struct Case {
        const char* outcome;
        Lines report;
    };
    const Case cases[] = {
        {"done",
         {"Label7 colour green", "Label7: 已恢复系统免疫前的自动播放设置！",
          "box[64] 提示: 已恢复系统免疫前的自动播放设置！ -> OK"}},
        {"norecord",
         {"Label7 colour green", "Label7: 没有找到系统免疫的记录，无需撤销！",
          "box[64] 提示: 没有找到系统免疫的记录，无需撤销！ -> OK"}},
        {"unsupported",
         {"Label7 colour darkred", "Label7: 系统免疫操作失败！",
          "box[48] 警告: 系统免疫操作失败！ -> OK"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcome);
        UndoRun run(c.outcome);
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

TEST(SystemUndo, MenuItemIsIgnoredWhileADriveActionRuns) {
    UndoRun run("done");
    run.h.state.actionRunning = true;
    run.h.form().vbundosystem_Click();
    EXPECT_EQ(run.h.lines(), Lines{});
}

TEST(SystemUndo, CommandLinePrintsChineseWithEnglishAndReturnsTheExitStatus) {
    struct Case {
        const char* outcome; // nullptr: no companion file
        int status;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {"done", 0,
         "已恢复系统免疫前的自动播放设置！ (The AutoPlay settings are back as they were before "
         "system immunization.)\n",
         ""},
        {"norecord", 0,
         "没有找到系统免疫的记录，无需撤销！ (Nothing to undo: no system immunization was "
         "recorded.)\n",
         ""},
        {"unsupported", 1, "",
         "系统免疫操作失败！ (This desktop has none of the AutoPlay settings Tarnwick knows: "
         "GNOME's.)\n"},
        {"failed", 1, "", "系统免疫操作失败！ (The settings could not be put back.)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcome);
        UndoRun run(c.outcome);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(SystemUndoCommand(run.h.faulty, run.h.host, run.h.clock, out, err), c.status);
        EXPECT_EQ(out.str(), c.out);
        EXPECT_EQ(err.str(), c.err);
        EXPECT_EQ(run.h.lines(), (Lines{run.start(), "wait 2s"}));
    }
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
