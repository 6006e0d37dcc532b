#include "immunize/ImmunizeRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>

namespace tw::test {
namespace {

using namespace std::chrono_literals;

// On a platform that runs batch files (the fake host's default), a stand-in for cacls.exe:
// once a cacls.bat naming a folder has been started, the folder reads back as locked, but
// only on a drive that reads "NTFS" (elsewhere there are no access lists to set).
void caclsWorksOnNtfs(Harness& h) {
    h.faulty.deniesOverride = [&h](const std::string& folder) {
        const std::string batch = h.temp / "cacls.bat";
        const Lines& lines = h.transcript.lines();
        return h.faulty.fileSystemNameOverride == "NTFS" &&
               std::find(lines.begin(), lines.end(), "start " + batch) != lines.end() &&
               readFile(batch) == "@echo off\r\necho y|cacls.exe " + folder + " /p everyone:n\r\n";
    };
}

TEST(DeepImmunization, NtfsDriveWithAThreatIsProtectedAndLocked) {
    Harness h;
    caclsWorksOnNtfs(h);
    const std::string d = h.stick.path();
    const std::string a = d + native("/autorun.inf");
    const std::string t = h.temp.path();
    h.faulty.fileSystemNameOverride = "NTFS";
    writeFile(a, "[autorun]\r\nopen=virus.exe\r\n");
    setAttr(a, attr::readOnly);
    writeFile(t + native("/convert.bat"), "left from an earlier run\r\n");
    std::map<std::string, std::string> started;
    h.host.onStart = [&started](const std::string& path) { started[path] = readFile(path); };

    EXPECT_EQ(click(h, Ctl::Label3),
              cat({checking(d), threatDeleted(d), preparing(d), driveFound, building(d), locking(t),
                   succeeded("免疫操作已完成！"), monitorResumes}));
    EXPECT_EQ(started, (std::map<std::string, std::string>{
                           {t + native("/cacls.bat"),
                            "@echo off\r\necho y|cacls.exe " + a + " /p everyone:n\r\n"}}));
    EXPECT_FALSE(exists(t + native("/cacls.bat")));
    EXPECT_FALSE(exists(t + native("/convert.bat")));
    EXPECT_EQ(getAttr(a), keptOnFolder(7U | attr::directory));
    EXPECT_TRUE(exists(a + native("/") + guardName));
}

TEST(DeepImmunization, Fat32DriveIsConvertedAndTheRunWaitsUntilItIsBack) {
    Harness h;
    caclsWorksOnNtfs(h);
    const std::string d = h.stick.path();
    const std::string a = d + native("/autorun.inf");
    const std::string t = h.temp.path();
    h.faulty.fileSystemNameOverride = "FAT32";
    std::map<std::string, std::string> started;
    h.host.onStart = [&](const std::string& path) {
        started[path] = readFile(path);
        if (path == t + native("/convert.bat")) {
            // The conversion dismounts the drive; it comes back as NTFS 11 s later. The run's
            // pin on it is dead from then on.
            h.faulty.pullOut(d);
            after(h, 11s, [&h, d] {
                h.faulty.putBack(d);
                h.faulty.fileSystemNameOverride = "NTFS";
            });
        }
    };
    // A wait that asked the dead pin would never end.
    after(h, 600s, [] { throw std::runtime_error("the drive that came back was never seen"); });
    // In the middle of the wait the window answers: the about window opens, a second
    // immunization is not started.
    after(h, 12s, [&h] {
        h.form().Label_Click(Ctl::Label1);
        h.form().Label_Click(Ctl::Label2);
    });

    EXPECT_EQ(click(h, Ctl::Label3), cat({opening(d),
                                          converting(d, t),
                                          {"wait 5s", "about", "wait 5s", "wait 5s", "wait 1s"},
                                          building(d),
                                          locking(t),
                                          succeeded("免疫操作已完成！"),
                                          monitorResumes}));
    EXPECT_EQ(started, (std::map<std::string, std::string>{
                           {t + native("/convert.bat"),
                            "@echo off\r\nconvert.exe " + d + " /fs:ntfs /x\r\n"},
                           {t + native("/cacls.bat"),
                            "@echo off\r\necho y|cacls.exe " + a + " /p everyone:n\r\n"}}));
    EXPECT_FALSE(exists(t + native("/convert.bat")));
    EXPECT_FALSE(exists(t + native("/cacls.bat")));
    EXPECT_EQ(getAttr(a), keptOnFolder(7U | attr::directory));
}

TEST(DeepImmunization, OnlyFatAndFat32AreConverted) {
    struct Case {
        const char* name;
        bool converted;
    };
    // Names are compared exactly.
    const Case cases[] = {{"FAT", true}, {"exFAT", false}, {"fat32", false}, {"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        caclsWorksOnNtfs(h);
        const std::string d = h.stick.path();
        const std::string t = h.temp.path();
        h.faulty.fileSystemNameOverride = c.name;

        // Whatever the file system, the access rule is attempted on the fresh path; none of
        // these drives reads NTFS afterwards, so the rule never reads back.
        EXPECT_EQ(
            click(h, Ctl::Label3),
            cat({opening(d), c.converted ? converting(d, t) : Lines{}, driveFound, building(d),
                 lockingUnverified(t),
                 failed("操作结束！但免疫加强操作失败！", "免疫加强操作失败！"), monitorResumes}));
        EXPECT_TRUE(exists(d + native("/autorun.inf/") + guardName));
        EXPECT_FALSE(exists(t + native("/convert.bat")));
    }
}

TEST(DeepImmunization, GuardFolderThatCannotBeMadeCountsOnNtfsOnlyWhenReinforcing) {
    enum class Outcome { locked, reinforcementFailed, freshFailed };
    struct Case {
        const char* name;
        bool protectiveFolderThere;
        Outcome outcome;
    };
    const Case cases[] = {
        {"NTFS", true, Outcome::locked},
        {"exFAT", true, Outcome::reinforcementFailed},
        {"NTFS", false, Outcome::freshFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.protectiveFolderThere ? " reinforcement" : " fresh"));
        Harness h;
        caclsWorksOnNtfs(h);
        const std::string d = h.stick.path();
        const std::string t = h.temp.path();
        h.faulty.fileSystemNameOverride = c.name;
        if (c.protectiveFolderThere) {
            makeDir(d + native("/autorun.inf"));
        }
        h.faulty.refuse = [](const std::string& op, const std::string& path) {
            return op == "mkDir" && path.find(native("/autorun.inf")) != std::string::npos;
        };
        // A leftover is deleted in every branch.
        writeFile(t + native("/cacls.bat"), "left from an earlier run\r\n");

        const Lines middle = c.protectiveFolderThere ? reinforcing(d, "wait 4s") : building(d);
        Lines ending;
        switch (c.outcome) {
        case Outcome::locked:
            ending = cat({locking(t), succeeded("免疫操作成功结束！")});
            break;
        case Outcome::reinforcementFailed:
            ending = failed("操作结束！但免疫加强操作失败！", "免疫加强操作失败！");
            break;
        case Outcome::freshFailed:
            ending = failed("操作结束！但免疫未成功建立！", "免疫操作失败！");
            break;
        }
        EXPECT_EQ(click(h, Ctl::Label3),
                  cat({opening(d), driveFound, middle, ending, monitorResumes}));
        EXPECT_FALSE(exists(t + native("/cacls.bat")));
        if (c.protectiveFolderThere) {
            EXPECT_EQ(getAttr(d + native("/autorun.inf")), keptOnFolder(7U | attr::directory));
        }
    }
}

// The stick leaves as the guard folder is made, after the wait: nothing is locked, and the run
// says the protection failed, never that it succeeded.
TEST(DeepImmunization, ADriveThatLeavesAfterTheWaitEndsInFailure) {
    for (const bool protectiveFolderThere : {true, false}) {
        SCOPED_TRACE(protectiveFolderThere ? "reinforcement" : "fresh");
        Harness h;
        caclsWorksOnNtfs(h);
        const std::string d = h.stick.path();
        h.faulty.fileSystemNameOverride = "NTFS";
        if (protectiveFolderThere) {
            makeDir(d + native("/autorun.inf"));
        }
        h.faulty.refuse = [&h, d](const std::string& op, const std::string& path) {
            const bool leaves = op == "mkDir" && path.find(guardName) != std::string::npos;
            if (leaves) {
                h.faulty.pullOut(d);
            }
            return leaves;
        };

        EXPECT_EQ(click(h, Ctl::Label3),
                  cat({opening(d), driveFound,
                       protectiveFolderThere ? reinforcing(d, "wait 4s") : building(d),
                       protectiveFolderThere
                           ? failed("操作结束！但免疫加强操作失败！", "免疫加强操作失败！")
                           : failed("操作结束！但免疫未成功建立！", "免疫操作失败！"),
                       monitorResumes}));
        EXPECT_FALSE(exists(d + native("/autorun.inf/") + guardName));
    }
}

TEST(DeepImmunization, ImmunizedDriveIsLockedAgainAndItsAttributesStay) {
    Harness h;
    caclsWorksOnNtfs(h);
    const std::string d = h.stick.path();
    const std::string a = d + native("/autorun.inf");
    const std::string t = h.temp.path();
    h.faulty.fileSystemNameOverride = "NTFS";
    makeDir(a + native("/") + guardName);
    setAttr(a, attr::hidden);
    // A read-only cacls.bat is not deleted at the end.
    h.host.onStart = [](const std::string& path) { setAttr(path, attr::readOnly); };

    EXPECT_EQ(click(h, Ctl::Label3),
              cat({opening(d), driveFound, alreadyImmunized(d, "wait 4s"), locking(t),
                   succeeded("免疫操作成功结束！"), monitorResumes}));
    EXPECT_EQ(getAttr(a), attr::hidden | attr::directory);
    EXPECT_TRUE(exists(t + native("/cacls.bat")));
}

TEST(DeepImmunization, AReadOnlyConversionLeftoverIsDeletedTheLockScriptIsNot) {
    Harness h;
    caclsWorksOnNtfs(h);
    const std::string d = h.stick.path();
    const std::string t = h.temp.path();
    h.faulty.fileSystemNameOverride = "NTFS";
    writeFile(t + native("/convert.bat"), "left from an earlier run\r\n");
    setAttr(t + native("/convert.bat"), attr::readOnly | attr::archive);
    h.host.onStart = [](const std::string& path) { setAttr(path, attr::readOnly | attr::archive); };

    EXPECT_EQ(click(h, Ctl::Label3), cat({opening(d), driveFound, building(d), locking(t),
                                          succeeded("免疫操作已完成！"), monitorResumes}));
    EXPECT_FALSE(exists(t + native("/convert.bat")));
    EXPECT_TRUE(exists(t + native("/cacls.bat")));
}

TEST(DeepImmunization, AfterTheWaitTheRunWorksOnWhicheverDriveIsFoundFirst) {
    Harness h;
    caclsWorksOnNtfs(h);
    TempDir other{"other"};
    const std::string d = h.stick.path();
    const std::string o = other.path();
    const std::string t = h.temp.path();
    h.declareDrives("removable=" + o + ";removable=" + d);
    h.faulty.fileSystemNameOverride = "FAT32";
    // The first drive in order has no medium until the stick goes away for its conversion.
    h.faulty.readyOverride = [o](const Drive& drive) { return drive.path != o; };
    std::map<std::string, std::string> started;
    h.host.onStart = [&](const std::string& path) {
        started[path] = readFile(path);
        if (path == t + native("/convert.bat")) {
            h.faulty.readyOverride = [d](const Drive& drive) { return drive.path != d; };
            h.faulty.fileSystemNameOverride = "NTFS";
        }
    };

    // The conversion names the stick; the immunization, the other drive.
    EXPECT_EQ(click(h, Ctl::Label3),
              cat({opening(d), converting(d, t), driveFound, building(o), locking(t),
                   succeeded("免疫操作已完成！"), monitorResumes}));
    EXPECT_EQ(
        started,
        (std::map<std::string, std::string>{
            {t + native("/convert.bat"), "@echo off\r\nconvert.exe " + d + " /fs:ntfs /x\r\n"},
            {t + native("/cacls.bat"), "@echo off\r\necho y|cacls.exe " + o +
                                           native("/autorun.inf") + " /p everyone:n\r\n"}}));
    EXPECT_TRUE(exists(o + native("/autorun.inf/") + guardName));
    EXPECT_FALSE(exists(d + native("/autorun.inf")));
    ASSERT_TRUE(h.state.probedDrive.has_value());
    EXPECT_EQ(h.state.probedDrive->path, o);
}

// As on Linux: no batch file runs, so a FAT stick is not converted and nothing says so, and
// a stick without access lists cannot be locked. The protection of simple immunization
// stays, the run says its reinforcement failed, and the temporary folder is left alone.
TEST(DeepImmunization, WithoutBatchFilesOrAccessListsTheProtectionStaysUnlocked) {
    enum class Before { nothing, protectiveFolder, immunized };
    struct Case {
        std::optional<std::string> name; // none: the temporary folder's own file system
        Before before;
    };
    const Case cases[] = {
        {"FAT32", Before::nothing},
        {"FAT", Before::protectiveFolder},
        {std::nullopt, Before::immunized},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.value_or("real"));
        Harness h;
        h.host.batchFilesRun = false;
        h.faulty.fileSystemNameOverride = c.name;
        const std::string d = h.stick.path();
        const std::string a = d + native("/autorun.inf");
        const std::string t = h.temp.path();
        // Here files of these names are the user's own.
        writeFile(t + native("/convert.bat"), "mine\r\n");
        writeFile(t + native("/cacls.bat"), "mine too\r\n");
        Lines middle = building(d);
        if (c.before == Before::protectiveFolder) {
            makeDir(a);
            middle = reinforcing(d, "wait 4s");
        } else if (c.before == Before::immunized) {
            makeDir(a + native("/") + guardName);
            setAttr(a, 7);
            middle = alreadyImmunized(d, "wait 4s");
        }

        EXPECT_EQ(
            click(h, Ctl::Label3),
            cat({opening(d), driveFound, middle, lockingNatively,
                 failed("操作结束！但免疫加强操作失败！", "免疫加强操作失败！"), monitorResumes}));
        EXPECT_TRUE(exists(a + native("/") + guardName));
        EXPECT_EQ(getAttr(a), keptOnFolder(7U | attr::directory));
        EXPECT_EQ(readFile(t + native("/convert.bat")), "mine\r\n");
        EXPECT_EQ(readFile(t + native("/cacls.bat")), "mine too\r\n");
    }
}

} // namespace
} // namespace tw::test
