#include "immunize/ImmunizeRun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tw::test {
namespace {

using namespace std::chrono_literals;

TEST(ThreatCheck, NoRemovableDriveOnlySaysSoAndStartsTheMonitorAgain) {
    struct Case {
        Ctl label;
        bool monitorRunning;
        bool driveDeclaredButNotReady;
    };
    const Case cases[] = {
        {Ctl::Label2, true, false},
        {Ctl::Label3, true, true},
        {Ctl::Label3, false, false}, // the monitor runs afterwards even if it did not before
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FakeView::name(c.label));
        Harness h;
        if (c.driveDeclaredButNotReady) {
            h.faulty.readyOverride = [](const Drive&) { return false; };
        } else {
            h.declareDrives("fixed=" + h.program.path());
        }
        writeFile(h.temp / "cacls.bat", "old");
        writeFile(h.temp / "convert.bat", "old");

        EXPECT_EQ(click(h, c.label, c.monitorRunning),
                  (Lines{
                      "Label7 colour green",
                      "Timer2 off",
                      "box[64] 提示: 没有检测到U盘，无法完成免疫！ -> OK",
                      "Timer2 on",
                  }));
        EXPECT_EQ(h.view.caption(Ctl::Label7), "正在检测U盘......");
        EXPECT_TRUE(h.view.timer2());
        // No batch file is written or deleted.
        EXPECT_EQ(readFile(h.temp / "cacls.bat"), "old");
        EXPECT_EQ(readFile(h.temp / "convert.bat"), "old");
    }
}

TEST(ThreatCheck, FolderNamedAutorunInfIsNoThreat) {
    Harness h;
    const std::string d = h.stick.path();
    makeDir(h.stick / "autorun.inf" + native("/") + guardName);

    EXPECT_EQ(click(h, Ctl::Label2), cat({opening(d), alreadyImmunized(d, "wait 2s"),
                                          succeeded("免疫操作成功结束！"), monitorResumes}));
}

TEST(ThreatCheck, ReadOnlyAutorunFileIsDeletedAfterTheWarning) {
    struct Case {
        const char* name;
        std::uint32_t attributes;
    };
    // A name in other letter case is the same file on a stick.
    const Case cases[] = {{"autorun.inf", attr::readOnly},
                          {"AUTORUN.INF", attr::readOnly | attr::hidden | attr::system}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        const std::string d = h.stick.path();
        const std::string a = d + native("/autorun.inf");
        writeFile(h.stick / c.name, "[autorun]\r\nopen=virus.exe\r\n");
        setAttr(h.stick / c.name, c.attributes);

        // The texts name the file as autorun.inf, whatever its letter case.
        EXPECT_EQ(click(h, Ctl::Label2),
                  cat({checking(d), threatDeleted(d), preparing(d), building(d),
                       succeeded("免疫操作已完成！"), monitorResumes}));
        // The file made way for the protective folder.
        std::vector<std::string> root;
        for (const auto& entry : std::filesystem::directory_iterator(d)) {
            root.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(root, std::vector<std::string>{"autorun.inf"});
        EXPECT_TRUE(std::filesystem::is_directory(a));
    }
}

// A file that stays, because its deletion is refused, accepted without effect, or because the
// quarantine cannot take a copy of it (a store that cannot be written), shows the same
// failure; so does one on a drive that leaves as it is deleted, and nothing is built there.
// Only the copy of a file that may be gone is kept.
TEST(ThreatCheck, AFileThatStaysTurnsDarkRedAndTheRunEndsInFailure) {
    enum class Fault { refused, withoutEffect, noCopy, driveLeaves };
    struct Case {
        const char* name;
        Fault fault;
        std::size_t copiesKept;
    };
    const Case cases[] = {
        {"deletion refused", Fault::refused, 0},
        {"deletion accepted without effect", Fault::withoutEffect, 0},
        {"no copy in the quarantine", Fault::noCopy, 0},
        {"the drive leaves as the file is deleted", Fault::driveLeaves, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        const std::string d = h.stick.path();
        const std::string a = d + native("/autorun.inf");
        writeFile(a, "[autorun]\r\nopen=virus.exe\r\n");
        setAttr(a, attr::hidden | attr::archive);
        h.faulty.refuse = [&h, a, c](const std::string& op, const std::string& path) {
            if (op != "deleteFile" || path != a) {
                return false;
            }
            if (c.fault == Fault::driveLeaves) {
                h.faulty.pullOut(h.stick.path());
            }
            return c.fault == Fault::refused || c.fault == Fault::driveLeaves;
        };
        if (c.fault == Fault::withoutEffect) {
            h.faulty.deleteWithoutEffect = [a](const std::string& path) { return path == a; };
        }
        writeFile(h.program / "not-a-folder", "");
        RealQuarantine unwritable(h.program / "not-a-folder/quarantine", *h.real);
        if (c.fault == Fault::noCopy) {
            h.quarantineInUse = &unwritable;
        }

        EXPECT_EQ(click(h, Ctl::Label2),
                  cat({checking(d),
                       {
                           "Label7: 检测到" + d + "盘存在威胁！等待处理......",
                           "box[48] 系统提示: 文件" + a + "存在威胁！建议执行扫描！ -> OK",
                           "wait 1s",
                           "Label7: 威胁文件 " + a + "清除失败!",
                           "Label7 colour darkred",
                           "wait 2s",
                       },
                       preparing(d),
                       building(d),
                       failed("操作结束！但免疫未成功建立！", "免疫操作失败！"),
                       monitorResumes}));
        // The surviving file is neither changed nor given the protective attributes.
        EXPECT_EQ(readFile(a), "[autorun]\r\nopen=virus.exe\r\n");
        EXPECT_EQ(getAttr(a), attr::hidden | attr::archive);
        EXPECT_EQ(h.quarantine.list()->size(), c.copiesKept);
    }
}

TEST(ThreatCheck, ClicksOnOtherDriveActionsAreIgnoredWhileItRuns) {
    Harness h;
    const std::string d = h.stick.path();
    after(h, 1s, [&h] {
        h.form().Label_Click(Ctl::Label3);
        h.form().Label_Click(Ctl::Label2);
        h.form().Label_Click(Ctl::Label4);
    });
    // The window stays usable: the about window opens in the middle of the run.
    after(h, 4s, [&h] { h.form().Label_Click(Ctl::Label1); });

    EXPECT_EQ(
        click(h, Ctl::Label2),
        cat({opening(d), {"about"}, building(d), succeeded("免疫操作已完成！"), monitorResumes}));
    // The next click after the run is taken.
    EXPECT_EQ(click(h, Ctl::Label2, false).size(), 11U);
}

} // namespace
} // namespace tw::test
