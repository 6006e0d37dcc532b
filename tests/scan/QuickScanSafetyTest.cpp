#include "scan/ScanFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tw::test {
namespace {

std::string baseName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

void symlink(const std::string& to, const std::string& at) {
    std::filesystem::create_symlink(to, at);
}

// A target that lies off the drive names no file: nothing there is tested or deleted, and
// autorun.inf is cleaned as usual. The texts would show the target as written.
TEST(QuickScanSafety, TargetsOffTheDriveAreLeftAlone) {
    struct Case {
        std::string label;
        bool subFolder; // the stick holds a folder "sub"
    };
    const Case cases[] = {{"absolute", false},
                          {"dotdot", false},
                          {"sub-dotdot", true},
                          {"file-link", false},
                          {"folder-link", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScanHarness h;
        TempDir outside("outside");
        writeFile(outside / "x.exe", "precious");
        setAttr(outside / "x.exe", 38);
        std::string target;
        if (c.label == "absolute") {
            target = outside / "x.exe";
        } else if (c.label == "dotdot") {
            target = "..\\" + baseName(outside.path()) + "\\x.exe";
        } else if (c.label == "sub-dotdot") {
            makeDir(h.stick / "sub");
            target = "sub\\..\\..\\" + baseName(outside.path()) + "\\x.exe";
        } else if (c.label == "file-link") {
            symlink(outside / "x.exe", h.stick / "run.lnk");
            target = "run.lnk";
        } else {
            symlink(outside.path(), h.stick / "dir");
            target = "dir\\x.exe";
        }
        writeFile(h.stick / "autorun.inf", "[autorun]\r\nopen=" + target + "\r\n");
        EXPECT_EQ(h.quickScan(), cat({engineStart, c.subFolder ? folderScanned(h.D) : Lines{},
                                      phase1Clean, phase2Start(h.D), autorunRead,
                                      autorunCleaned(h.D), phase3Start, phase3Clean}));
        EXPECT_EQ(readFile(outside / "x.exe"), "precious");
        EXPECT_EQ(getAttr(outside / "x.exe"), 38u);
    }
}

// A link to a folder is not a subfolder: no attribute is written through it.
TEST(QuickScanSafety, LinkToAFolderIsNoSubfolder) {
    ScanHarness h;
    TempDir outside("outside");
    makeDir(outside / "Photos");
    setAttr(outside / "Photos", 18);
    symlink(outside / "Photos", h.stick / "Photos");
    EXPECT_EQ(h.quickScan(), cleanScan(h.D));
    EXPECT_EQ(getAttr(outside / "Photos"), 18u);
}

// A link named like an executable is never followed: the link alone is recorded in the
// quarantine and removed, and what it names stays as it was.
TEST(QuickScanSafety, ALinkIsRemovedNeverFollowed) {
    for (const std::string name : {"evil.exe", "Photos.exe"}) {
        SCOPED_TRACE(name);
        ScanHarness h;
        TempDir outside("outside");
        writeFile(outside / "x.exe", "precious");
        symlink(outside / "x.exe", h.stick / name);
        const bool disguised = name == "Photos.exe";
        if (disguised) {
            makeDir(h.stick / "Photos");
        } else {
            h.view.answer({mb::yes});
        }
        const Lines found =
            disguised ? cat({engineStart, folderScanned(h.D), disguisedRemoved(h.D + "/Photos"),
                             phase2Start(h.D), phase2Clean, phase3Start, phase3Clean})
                      : cat({upToPhase3(h.D), suspiciousRemoved(h.D + "/" + name)});
        EXPECT_EQ(h.quickScan(), found);
        EXPECT_FALSE(std::filesystem::is_symlink(h.stick / name));
        EXPECT_EQ(readFile(outside / "x.exe"), "precious");
    }
}

// An autorun.inf that is a link is not read through: the link alone is removed.
TEST(QuickScanSafety, AutorunLinkIsNotRead) {
    ScanHarness h;
    TempDir outside("outside");
    writeFile(outside / "autorun.inf", "[autorun]\r\nopen=victim.exe\r\n");
    writeFileOfSize(h.stick / "victim.exe", 2 * 1024 * 1024);
    setAttr(h.stick / "victim.exe", 38);
    symlink(outside / "autorun.inf", h.stick / "autorun.inf");
    EXPECT_EQ(h.quickScan(), cat({engineStart, phase1Clean, phase2Start(h.D), autorunRead,
                                  autorunCleaned(h.D), phase3Start, phase3Clean}));
    EXPECT_TRUE(exists(h.stick / "victim.exe"));
    EXPECT_FALSE(std::filesystem::is_symlink(h.stick / "autorun.inf"));
    EXPECT_EQ(readFile(outside / "autorun.inf"), "[autorun]\r\nopen=victim.exe\r\n");
}

// 200 MB without a line end: read in bounded memory, the scan runs to its end. The file is
// larger than the tests' quarantine holds, so it stays, reported as not cleaned.
TEST(QuickScanSafety, GiantAutorunWithoutLineEnds) {
    ScanHarness h;
    writeFileOfSize(h.stick / "autorun.inf", 200ull * 1024 * 1024);
    EXPECT_EQ(h.quickScan(), cat({engineStart, phase1Clean, phase2Start(h.D), autorunRead,
                                  autorunNotCleaned(h.D), phase3Start, phase3Clean}));
    EXPECT_TRUE(exists(h.stick / "autorun.inf"));
}

// An autorun.inf written on a Chinese Windows system names its program in GBK.
TEST(QuickScanSafety, GbkTargetNamesAChineseFile) {
    ScanHarness h;
    writeFile(h.stick / "病毒.exe", "MZ");
    setAttr(h.stick / "病毒.exe", 38);
    writeFile(h.stick / "autorun.inf", "[autorun]\r\nopen=\xB2\xA1\xB6\xBE.exe\r\n");
    EXPECT_EQ(h.quickScan(),
              cat({engineStart, phase1Clean, phase2Start(h.D), autorunRead,
                   targetRemoved("病毒.exe"), autorunCleaned(h.D), phase3Start, phase3Clean}));
    EXPECT_FALSE(exists(h.stick / "病毒.exe"));
}

} // namespace
} // namespace tw::test
