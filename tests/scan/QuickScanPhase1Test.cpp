#include "scan/ScanFixture.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tw::test {
namespace {

using std::chrono::seconds;

TEST(QuickScanPhase1, CleanDriveWaitsTwentySecondsPlusTwoPerFolder) {
    for (int k : {0, 1, 3}) {
        SCOPED_TRACE(k);
        ScanHarness h;
        for (int i = 0; i < k; ++i) {
            makeDir(h.stick / ("folder" + std::to_string(i)));
            writeFile(h.stick / ("folder" + std::to_string(i) + native("/inner.exe")), "MZ");
        }
        writeFile(h.stick / "notes.txt", "hello");
        const Lines lines = h.quickScan();
        Lines expected = engineStart;
        for (int i = 0; i < k; ++i) {
            expected = cat({expected, folderScanned(h.D)});
        }
        expected =
            cat({expected, phase1Clean, phase2Start(h.D), phase2Clean, phase3Start, phase3Clean});
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(h.clock.waited(), seconds(20 + 2 * k));
    }
}

TEST(QuickScanPhase1, CleanDriveWholeTranscript) {
    ScanHarness h;
    makeDir(h.stick / "Photos");
    const std::string d = h.D;
    EXPECT_EQ(h.quickScan(), (Lines{
                                 "Label7: 正在初始化快速扫描引擎，请稍候......",
                                 "wait 2s",
                                 "Label7: 第一阶段：执行伪装型病毒检测，请稍候......",
                                 "wait 3s",
                                 "Label7 colour green",
                                 "Label7: 正在执行" + d + "盘扫描......",
                                 "wait 2s",
                                 "Label7: 第一阶段检测完毕，没有发现伪装病毒！",
                                 "wait 3s",
                                 "Label7: 第二阶段：执行AUTO类病毒检测，请稍候......",
                                 "wait 2s",
                                 "Label7: 正在执行" + d + "盘扫描......",
                                 "wait 2s",
                                 "Label7: 第二阶段检测完毕，没有发现AUTO病毒！",
                                 "wait 3s",
                                 "Label7: 第三阶段：执行常规特征检测，请稍候......",
                                 "wait 2s",
                                 "Label7: 第三阶段检测完毕，没有发现威胁！",
                                 "wait 3s",
                             }));
}

// A folder beside an executable of the same name (in any letter case, also outside ASCII,
// and among names outside ASCII) loses the executable.
TEST(QuickScanPhase1, DisguisedExecutableRemovedWithoutQuestion) {
    struct Case {
        std::string folder, exeName, other;
    };
    for (const Case& c : {Case{"Photos", "Photos.exe", ""}, Case{"Photos", "PHOTOS.EXE", ""},
                          Case{"Photos", "PHOTOS.EXE", "\u7167\u7247.txt"},
                          Case{"\u00c4pfel", "\u00e4PFEL.exe", ""}}) {
        SCOPED_TRACE(c.exeName);
        ScanHarness h;
        makeDir(h.stick / c.folder);
        writeFile(h.stick / c.exeName, "MZ");
        if (!c.other.empty()) {
            writeFile(h.stick / c.other, "archive only");
        }
        const std::string p = h.D + native("/" + c.folder);
        EXPECT_EQ(h.quickScan(), cat({engineStart, folderScanned(h.D), disguisedRemoved(p),
                                      phase2Start(h.D), phase2Clean, phase3Start, phase3Clean}));
        EXPECT_FALSE(exists(h.stick / c.exeName));
        EXPECT_TRUE(exists(h.stick / c.folder));
    }
}

// A refused deletion is reported after the existence test, and phase 3 then asks about the
// small plain executable that is still there.
TEST(QuickScanPhase1, DisguisedExecutableRefused) {
    ScanHarness h;
    makeDir(h.stick / "Setup");
    writeFile(h.stick / "Setup.exe", "MZ");
    h.faulty.refuse = [](const std::string& op, const std::string&) { return op == "deleteFile"; };
    h.view.answer({mb::no});
    const std::string p = h.D + native("/Setup");
    EXPECT_EQ(h.quickScan(), cat({engineStart,
                                  folderScanned(h.D),
                                  {
                                      "Label7 colour darkred",
                                      "Label7: 发现伪装文件夹病毒" + p + ".exe，正在处理......",
                                      "wait 2s",
                                      "Label7: 伪装文件夹病毒" + p + ".exe处理失败！",
                                      "wait 1s",
                                  },
                                  phase2Start(h.D),
                                  phase2Clean,
                                  phase3Start,
                                  suspiciousKept(p + ".exe")}));
    EXPECT_TRUE(exists(h.stick / "Setup.exe"));
}

// Abnormal folders: any attribute word but exactly 16 is repaired, except on the folder
// named exactly "autorun.inf".
TEST(QuickScanPhase1, AbnormalFolders) {
    struct Case {
        std::string name;
        std::uint32_t written;
        bool reported;
    };
    const Case cases[] = {
        {"Hidden", 18, true},      {"Archived", 48, true},    {"ReadOnly", 17, true},
        {"RECYCLER", 22, true},    {"autorun.inf", 7, false}, {"AUTORUN.INF", 7, true},
        {"Autorun.inf", 23, true}, {"Plain", 16, false},
    };
    for (const Case& c : cases) {
        if (keptOnFolder(c.written) == attr::directory && c.written != attr::directory) {
            continue; // a word this file system cannot keep on a folder
        }
        SCOPED_TRACE(c.name);
        ScanHarness h;
        makeDir(h.stick / c.name);
        setAttr(h.stick / c.name, c.written);
        const std::uint32_t before = getAttr(h.stick / c.name);
        const std::string p = h.D + native("/") + c.name;
        const Lines found = c.reported ? abnormalRepaired(p) : Lines{};
        EXPECT_EQ(h.quickScan(), cat({engineStart, folderScanned(h.D), found, phase1Clean,
                                      phase2Start(h.D), phase2Clean, phase3Start, phase3Clean}));
        EXPECT_EQ(getAttr(h.stick / c.name), c.reported ? 16u : before);
    }
}

TEST(QuickScanPhase1, ProtectiveFolderKeepsItsAttributes) {
    ScanHarness h;
    makeDir(h.stick / "autorun.inf");
    setAttr(h.stick / "autorun.inf", 7);
    ASSERT_EQ(getAttr(h.stick / "autorun.inf"),
              keptOnFolder(23u)); // the directory bit follows the object
    h.quickScan();
    EXPECT_EQ(getAttr(h.stick / "autorun.inf"), keptOnFolder(23u));
}

TEST(QuickScanPhase1, RefusedAttributeWriteReportsFailure) {
    ScanHarness h;
    makeDir(h.stick / "RECYCLER");
    setAttr(h.stick / "RECYCLER", 22);
    h.faulty.refuse = [](const std::string& op, const std::string&) {
        return op == "setAttributes";
    };
    const std::string p = h.D + native("/RECYCLER");
    EXPECT_EQ(h.quickScan(), cat({engineStart,
                                  folderScanned(h.D),
                                  {
                                      "Label7 colour darkred",
                                      "Label7: 发现异常文件夹：" + p + "，正在处理......",
                                      "wait 2s",
                                      "Label7: 异常文件夹：" + p + "处理失败！",
                                      "wait 1s",
                                  },
                                  phase1Clean,
                                  phase2Start(h.D),
                                  phase2Clean,
                                  phase3Start,
                                  phase3Clean}));
    EXPECT_EQ(getAttr(h.stick / "RECYCLER"), 22u);
}

// Disguised and hidden: the executable first, then the folder, in one pass.
TEST(QuickScanPhase1, DisguisedAndAbnormalInOnePass) {
    ScanHarness h;
    makeDir(h.stick / "Photos");
    setAttr(h.stick / "Photos", 18);
    writeFile(h.stick / "Photos.exe", "MZ");
    const std::string p = h.D + native("/Photos");
    EXPECT_EQ(h.quickScan(),
              cat({engineStart, folderScanned(h.D), disguisedRemoved(p), abnormalRepaired(p),
                   phase2Start(h.D), phase2Clean, phase3Start, phase3Clean}));
    EXPECT_EQ(getAttr(h.stick / "Photos"), 16u);
}

// Only direct subfolders of the root count; a folder's attributes that cannot be read give
// no finding and no write.
TEST(QuickScanPhase1, NestedPairsAndUnreadableAttributesLeftAlone) {
    ScanHarness h;
    makeDir(h.stick / "a/b");
    setAttr(h.stick / "a/b", 18);
    writeFile(h.stick / "a/b.exe", "MZ");
    makeDir(h.stick / "Hidden");
    setAttr(h.stick / "Hidden", 18);
    h.faulty.refuse = [&](const std::string& op, const std::string& path) {
        EXPECT_NE(op, "setAttributes");
        return op == "attributes" && path == h.D + native("/Hidden");
    };
    EXPECT_EQ(h.quickScan(), cat({engineStart, folderScanned(h.D), folderScanned(h.D), phase1Clean,
                                  phase2Start(h.D), phase2Clean, phase3Start, phase3Clean}));
    EXPECT_TRUE(exists(h.stick / "a/b.exe"));
    EXPECT_EQ(getAttr(h.stick / "Hidden"), 18u);
    EXPECT_EQ(getAttr(h.stick / "a/b"), 18u);
}

} // namespace
} // namespace tw::test
