#include "scan/ScanFixture.h"

#include <gtest/gtest.h>

#include <optional>

namespace tw::test {
namespace {

constexpr std::uint64_t twoMegabytes = 2 * 1024 * 1024;

// A plain target of autorun.inf, t as written there: the user is asked.
Lines plainTargetAsked(const std::string& t, const std::string& answer) {
    return {
        "Label7 colour darkred",
        "Label7: 检测到" + t + "存在严重威胁，等待处理......",
        "box[4] 提示: 文件" + t + "存在严重威胁，是否清理? -> " + answer,
    };
}

TEST(QuickScanPhase2, AutorunWithoutOpenLineIsDeleted) {
    ScanHarness h;
    writeFile(h.stick / "autorun.inf", "[autorun]\r\nicon=x.exe\r\nshellexecute=x.exe\r\n"
                                       "shell\\open\\command=x.exe\r\n");
    writeFileOfSize(h.stick / "x.exe", twoMegabytes);
    setAttr(h.stick / "x.exe", 38);
    EXPECT_EQ(h.quickScan(), cat({engineStart, phase1Clean, phase2Start(h.D), autorunRead,
                                  autorunCleaned(h.D), phase3Start, phase3Clean}));
    EXPECT_FALSE(exists(h.stick / "autorun.inf"));
    EXPECT_TRUE(exists(h.stick / "x.exe"));
}

// A target with any attribute word but exactly 32 goes without a question: named relative to
// the root, with backslashes, or by its full path on the drive.
TEST(QuickScanPhase2, MarkedTargetRemovedWithoutQuestion) {
    struct Case {
        std::string file;
        std::uint32_t attributes;
        bool inFolder;
    };
    const Case cases[] = {
        {"virus.exe", 38, false},
        {"virus.exe", 33, false},
        {"virus.exe", 0, false},
        {"recycler/x.exe", 38, true},
    };
    for (const Case& c : cases) {
        if (keptOnFile(c.attributes) != c.attributes) {
            continue; // a word this file system cannot keep on a file
        }
        for (const bool fullPath : {false, true}) {
            ScanHarness h;
            std::string target = fullPath ? h.D + native("/") + c.file : c.file;
            if (!fullPath && c.inFolder) {
                target = "recycler\\x.exe";
            }
            SCOPED_TRACE(target + " " + std::to_string(c.attributes));
            if (c.inFolder) {
                makeDir(h.stick / "recycler");
            }
            writeFile(h.stick / c.file, "MZ");
            setAttr(h.stick / c.file, c.attributes);
            writeFile(h.stick / "autorun.inf", "[autorun]\r\nopen=" + target + "\r\n");
            EXPECT_EQ(h.quickScan(),
                      cat({engineStart, c.inFolder ? folderScanned(h.D) : Lines{}, phase1Clean,
                           phase2Start(h.D), autorunRead, targetRemoved(target),
                           autorunCleaned(h.D), phase3Start, phase3Clean}));
            EXPECT_FALSE(exists(h.stick / c.file));
            EXPECT_FALSE(exists(h.stick / "autorun.inf"));
        }
    }
}

TEST(QuickScanPhase2, PlainTargetRemovedOnYes) {
    ScanHarness h;
    writeFile(h.stick / "setup.exe", "MZ");
    writeFile(h.stick / "autorun.inf", "[AutoRun]\r\nopen=setup.exe\r\n");
    h.view.answer({mb::yes});
    EXPECT_EQ(h.quickScan(), cat({engineStart,
                                  phase1Clean,
                                  phase2Start(h.D),
                                  autorunRead,
                                  plainTargetAsked("setup.exe", "Yes"),
                                  {
                                      "wait 1s",
                                      "Label7 colour green",
                                      "Label7: 已成功清除威胁！",
                                      "wait 2s",
                                  },
                                  autorunCleaned(h.D),
                                  phase3Start,
                                  phase3Clean}));
    EXPECT_FALSE(exists(h.stick / "setup.exe"));
}

// No keeps the file; autorun.inf goes all the same, and phase 3 asks about the file again.
TEST(QuickScanPhase2, PlainTargetKeptOnNo) {
    ScanHarness h;
    writeFile(h.stick / "setup.exe", "MZ");
    writeFile(h.stick / "autorun.inf", "[AutoRun]\r\nopen=setup.exe\r\n");
    h.view.answer({mb::no, mb::no});
    const std::string p = h.D + native("/setup.exe");
    EXPECT_EQ(h.quickScan(),
              cat({engineStart,
                   phase1Clean,
                   phase2Start(h.D),
                   autorunRead,
                   plainTargetAsked("setup.exe", "No"),
                   {"box[64] 提示: 文件setup.exe存在严重威胁，但您已放弃清除！ -> OK"},
                   autorunCleaned(h.D),
                   phase3Start,
                   suspiciousKept(p)}));
    EXPECT_TRUE(exists(h.stick / "setup.exe"));
    EXPECT_FALSE(exists(h.stick / "autorun.inf"));
}

// Lines that set no target (or one that names no file) lead straight to the cleaning; the
// files they name stay.
TEST(QuickScanPhase2, TargetsThatNameNoFile) {
    const std::string cases[] = {
        "OPEN=big.exe\r\n",          "open=big.exe /s\r\n", "open=\"big.exe\"\r\n",
        "open=big.exe\r\nopen=\r\n", " open=big.exe\r\n",   "\topen=big.exe\r\n",
        "open=missing.exe\r\n",
    };
    for (const std::string& content : cases) {
        SCOPED_TRACE(content);
        ScanHarness h;
        writeFileOfSize(h.stick / "big.exe", twoMegabytes); // too big for phase 3
        setAttr(h.stick / "big.exe", 38);
        writeFile(h.stick / "autorun.inf", content);
        EXPECT_EQ(h.quickScan(), cat({engineStart, phase1Clean, phase2Start(h.D), autorunRead,
                                      autorunCleaned(h.D), phase3Start, phase3Clean}));
        EXPECT_TRUE(exists(h.stick / "big.exe"));
    }
}

TEST(QuickScanPhase2, LastOfTwoOpenLinesDecides) {
    ScanHarness h;
    writeFileOfSize(h.stick / "first.exe", twoMegabytes);
    setAttr(h.stick / "first.exe", 38);
    writeFile(h.stick / "second.exe", "MZ");
    setAttr(h.stick / "second.exe", 38);
    writeFile(h.stick / "autorun.inf",
              "[autorun]\r\nopen=first.exe\r\n[other]\r\nOpen=second.exe\r\nicon=first.exe\r\n");
    EXPECT_EQ(h.quickScan(),
              cat({engineStart, phase1Clean, phase2Start(h.D), autorunRead,
                   targetRemoved("second.exe"), autorunCleaned(h.D), phase3Start, phase3Clean}));
    EXPECT_TRUE(exists(h.stick / "first.exe"));
    EXPECT_FALSE(exists(h.stick / "second.exe"));
}

// Read-only, upper-case, or unreadable: autorun.inf is deleted in every case.
TEST(QuickScanPhase2, AutorunFileDeletedWhateverItIs) {
    struct Case {
        const char* name;
        std::optional<std::uint32_t> attributes;
    };
    const Case cases[] = {{"autorun.inf", 33}, {"AUTORUN.INF", std::nullopt}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScanHarness h;
        writeFile(h.stick / c.name, "[autorun]\r\n");
        if (c.attributes) {
            setAttr(h.stick / c.name, *c.attributes);
        }
        EXPECT_EQ(h.quickScan(), cat({engineStart, phase1Clean, phase2Start(h.D), autorunRead,
                                      autorunCleaned(h.D), phase3Start, phase3Clean}));
        EXPECT_FALSE(exists(h.stick / c.name));
    }
    {
        ScanHarness h;
        writeFile(h.stick / "virus.exe", "MZ");
        setAttr(h.stick / "virus.exe", 38);
        writeFile(h.stick / "autorun.inf", "open=virus.exe\r\n");
        h.faulty.refuse = [](const std::string& op, const std::string&) {
            return op == "openText";
        };
        const std::string p = h.D + native("/virus.exe");
        // Unread, so no target: the marked file falls to phase 3.
        EXPECT_EQ(h.quickScan(), cat({engineStart, phase1Clean, phase2Start(h.D), autorunRead,
                                      autorunCleaned(h.D), phase3Start, virusRemoved(p)}));
        EXPECT_FALSE(exists(h.stick / "autorun.inf"));
    }
}

// A protective folder named autorun.inf is not a file: the drive is clean.
TEST(QuickScanPhase2, ProtectiveFolderIsNoAutorunFile) {
    ScanHarness h;
    makeDir(h.stick / "autorun.inf/Velmora免疫文件夹...");
    setAttr(h.stick / "autorun.inf", 7);
    EXPECT_EQ(h.quickScan(), cat({engineStart, folderScanned(h.D), phase1Clean, phase2Start(h.D),
                                  phase2Clean, phase3Start, phase3Clean}));
    EXPECT_TRUE(exists(h.stick / "autorun.inf/Velmora免疫文件夹..."));
}

// Refused deletions: the failure texts follow the existence tests and the scan goes on.
TEST(QuickScanPhase2, RefusedDeletions) {
    ScanHarness h;
    writeFile(h.stick / "virus.exe", "MZ");
    setAttr(h.stick / "virus.exe", 38);
    writeFile(h.stick / "autorun.inf", "open=virus.exe\r\n");
    h.faulty.refuse = [](const std::string& op, const std::string&) { return op == "deleteFile"; };
    const std::string d = h.D;
    const std::string p = d + native("/virus.exe");
    EXPECT_EQ(h.quickScan(), cat({engineStart,
                                  phase1Clean,
                                  phase2Start(d),
                                  autorunRead,
                                  {
                                      "Label7 colour darkred",
                                      "Label7: 检测到AUTO类病毒virus.exe，正在处理......",
                                      "wait 2s",
                                      "wait 1s",
                                      "Label7: 威胁清除失败！",
                                      "wait 2s",
                                      "Label7: 正在清理" + d + native("/autorun.inf，请稍候......"),
                                      "wait 2s",
                                      "Label7: 病毒配置文件" + d + native("/autorun.inf清理失败！"),
                                      "wait 2s",
                                  },
                                  phase3Start,
                                  {
                                      "Label7: 发现病毒" + p + "，正在处理......",
                                      "wait 2s",
                                      "Label7: 威胁" + p + "清除失败！",
                                      "wait 2s",
                                  }}));
    EXPECT_TRUE(exists(h.stick / "virus.exe"));
    EXPECT_TRUE(exists(h.stick / "autorun.inf"));
    // The copies made before each refused deletion do not stay behind.
    EXPECT_EQ(h.quarantine.list()->size(), 0u);
}

} // namespace
} // namespace tw::test
