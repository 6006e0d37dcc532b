#include "system/SystemImmunization.h"

#include "support/Fragments.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace tw::test {
namespace {

using std::chrono::milliseconds;

const std::string pollText = "Label7: 正在关闭系统自动播放功能，请稍候......";

// The question answered Yes, and the first text after it.
const Lines confirmed = {
    "Timer2 off",
    "box[4] 提示: 操作将关闭系统自动播放功能，继续吗？ -> Yes",
    "Label7: 准备执行系统Auto病毒免疫，请稍候......",
};
const Lines finished = {
    "Label7: 系统免疫操作结束！",
    "box[64] 提示: 免疫操作结束！ -> OK",
    "Timer2 on",
};

// Folds each run of "middle text, wait 100ms" into one line, so that a long wait stays
// readable: "15 × poll".
Lines squeezePolls(const Lines& in) {
    Lines out;
    for (std::size_t i = 0; i < in.size();) {
        std::size_t runs = 0;
        while (i + 1 < in.size() && in[i] == pollText && in[i + 1] == "wait 100ms") {
            ++runs;
            i += 2;
        }
        if (runs > 0) {
            out.push_back(std::to_string(runs) + " × poll");
        } else {
            out.push_back(in[i++]);
        }
    }
    return out;
}

std::size_t entriesIn(const std::string& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) {
        ++n;
    }
    return n;
}

// A program with its companion file, the monitor already running, and a script stand-in
// that leaves its outcome and removes its copy the given time after it was started (never,
// when not given).
struct SystemSetRun {
    explicit SystemSetRun(std::optional<milliseconds> removeAfter,
                          std::optional<std::string> outcome = "done") {
        writeFile(h.program / "systemset.dll", "companion v2");
        h.host.onStart = [this, removeAfter, outcome](const std::string& path) {
            startedWith = readFile(path);
            if (removeAfter) {
                h.clock.schedule(h.clock.now() + *removeAfter, [this, path, outcome] {
                    if (outcome) {
                        writeFile(h.temp / "systemset.out", *outcome + "\n");
                    }
                    if (outcome == "done" && changesSettings) {
                        h.host.switchSettingsOff();
                    }
                    std::filesystem::remove(path);
                });
            }
        };
    }
    void click() { h.form().Label_Click(Ctl::Label4); }
    [[nodiscard]] std::string copy() const { return h.temp / "systemset.bat"; }

    Harness h;
    std::string startedWith;
    bool changesSettings = true;
};

TEST(SystemImmunization, CompanionAbsentWritesOnlyTheStatusAndStartsTheMonitor) {
    Harness h;
    h.form().Label_Click(Ctl::Label4);
    h.clock.idle(milliseconds(3000));
    EXPECT_EQ(h.lines(),
              cat({{"Label7: 找不到" + h.program.path() + native("/systemset.dll无法完成操作！"),
                    "Timer2 on"},
                   stickConnected(h.stick.path())}));
    EXPECT_EQ(entriesIn(h.temp.path()), 0u);
}

TEST(SystemImmunization, AnswerNoWritesNothingToTheTemporaryFolder) {
    SystemSetRun run(milliseconds(500));
    run.h.view.answer({mb::no});
    run.click();
    EXPECT_EQ(run.h.lines(), (Lines{
                                 "Timer2 off",
                                 "box[4] 提示: 操作将关闭系统自动播放功能，继续吗？ -> No",
                                 "box[64] 提示: 您取消了系统免疫操作！ -> OK",
                                 "Timer2 on",
                             }));
    EXPECT_EQ(entriesIn(run.h.temp.path()), 0u);
}

TEST(SystemImmunization, ScriptDoneWithinTheFirstWaitSkipsTheMiddleText) {
    SystemSetRun run(milliseconds(1500));
    run.h.view.answer({mb::yes});
    run.click();
    EXPECT_EQ(run.h.lines(), cat({confirmed, {"start " + run.copy(), "wait 2s"}, finished}));
    EXPECT_EQ(run.startedWith, "companion v2");
    EXPECT_TRUE(run.h.view.timer2());
}

TEST(SystemImmunization, SlowScriptShowsTheMiddleTextUntilItsCopyIsGone) {
    SystemSetRun run(milliseconds(3500));
    run.h.view.answer({mb::yes});
    // A second click while the first one waits is ignored.
    run.h.clock.schedule(milliseconds(2550), [&run] { run.click(); });
    run.click();
    EXPECT_EQ(squeezePolls(run.h.lines()),
              cat({confirmed,
                   {
                       "start " + run.copy(), "wait 2s",
                       "15 × poll", // tests at 2.0 s to 3.4 s after the start find the copy
                   },
                   finished}));
    EXPECT_EQ(run.h.clock.now(), milliseconds(3500));
}

TEST(SystemImmunization, ScriptThatNeverRemovesItsCopyTimesOutAfterAMinute) {
    SystemSetRun run(std::nullopt);
    run.h.view.answer({mb::yes});
    run.click();
    EXPECT_EQ(squeezePolls(run.h.lines()),
              cat({confirmed,
                   {
                       "start " + run.copy(),
                       "wait 2s",
                       "600 × poll",
                       "Label7 colour darkred",
                       "Label7: 系统免疫操作超时，请稍后重试！",
                       "box[48] 警告: 系统免疫操作超时，请稍后重试！ -> OK",
                       "Timer2 on",
                   }}));
    EXPECT_EQ(run.h.clock.now(), milliseconds(62000));
    // The copy is the script's to remove, even now.
    EXPECT_TRUE(exists(run.copy()));
}

TEST(SystemImmunization, StaleWorkingCopyIsOverwritten) {
    SystemSetRun run(milliseconds(100));
    writeFile(run.copy(), "left over from an earlier run");
    run.h.view.answer({mb::yes});
    run.click();
    EXPECT_EQ(run.startedWith, "companion v2");
    EXPECT_FALSE(exists(run.copy()));
    EXPECT_EQ(run.h.lines().back(), "Timer2 on");
}

// The script ran but switched nothing off: a desktop without the settings it knows, a
// setting it could not write, no word from it at all, or a "done" that the settings read
// back afterwards belie (also when they cannot be read). An outcome left from an earlier run
// does not count.
TEST(SystemImmunization, ScriptThatChangedNothingIsAFailureNotASuccess) {
    const struct {
        const char* name;
        std::optional<std::string> outcome;
        bool changesSettings;
        bool settingsReadable;
    } cases[] = {
        {"unsupported", "unsupported", true, true},
        {"failed", "failed", true, true},
        {"no outcome", std::nullopt, true, true},
        {"done, but the settings are unchanged", "done", false, true},
        {"done, but the settings cannot be read", "done", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SystemSetRun run(milliseconds(500), c.outcome);
        run.changesSettings = c.changesSettings;
        if (!c.settingsReadable) {
            run.h.host.settings.reset();
        }
        writeFile(run.h.temp / "systemset.out", "done\n");
        run.h.view.answer({mb::yes});
        run.click();
        EXPECT_EQ(run.h.lines(), cat({confirmed,
                                      {
                                          "start " + run.copy(),
                                          "wait 2s",
                                          "Label7 colour darkred",
                                          "Label7: 系统免疫操作失败！",
                                          "box[48] 警告: 系统免疫操作失败！ -> OK",
                                          "Timer2 on",
                                      }}));
        EXPECT_EQ(entriesIn(run.h.temp.path()), 0u);
    }
}

TEST(SystemImmunization, FailedCopyOrStartIsReportedNotWaitedOn) {
    const Lines failure = {
        "Label7 colour darkred",
        "Label7: 系统免疫操作失败！",
        "box[48] 警告: 系统免疫操作失败！ -> OK",
        "Timer2 on",
    };
    {
        SystemSetRun run(milliseconds(100));
        run.h.faulty.refuse = [](const std::string& op, const std::string&) {
            return op == "copyFile";
        };
        run.h.view.answer({mb::yes});
        run.click();
        EXPECT_EQ(run.h.lines(), cat({confirmed, failure}));
    }
    {
        SystemSetRun run(std::nullopt);
        run.h.host.startSucceeds = false;
        run.h.view.answer({mb::yes});
        run.click();
        EXPECT_EQ(run.h.lines(), cat({confirmed, {"start " + run.copy()}, failure}));
    }
}

TEST(SystemImmunization, DuringTheStartupDiskScanItStartsTheMonitorEarly) {
    SystemSetRun run(milliseconds(500));
    Harness& h = run.h;
    TempDir disk("disk");
    h.declareDrives("removable=" + h.stick.path() + ";fixed=" + disk.path());
    h.view.answer({mb::yes});
    // Inside the scan's first wait (1 s to 3 s).
    h.clock.schedule(milliseconds(1500), [&run] { run.click(); });
    h.form().Timer1_Timer();
    EXPECT_EQ(h.lines(), cat({{
                                  "Timer1 off",
                                  "Label5: √Tarnwick完整性良好",
                                  "Label5 colour green",
                                  "wait 1s",
                                  "show Label7",
                                  "Label7: 准备扫描本地硬盘，请稍候......",
                                  "wait 2s",
                              },
                              confirmed,
                              {"start " + run.copy(), "wait 2s"},
                              finished,
                              {
                                  "Label7 colour green",
                                  "Label7: 正在扫描" + disk.path() + "盘，请稍候......",
                                  "wait 1s",
                                  "Label7: 硬盘扫描完成，没有检测到Auto威胁！",
                              },
                              diskScanEnd,
                              // the monitor's first tick, 3 s after system immunization ended
                              stickConnected(h.stick.path())}));
    EXPECT_TRUE(h.view.timer2());
}

} // namespace
} // namespace tw::test
