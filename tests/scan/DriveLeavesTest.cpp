// A stick that leaves while a file on it is being removed: the step says it failed, nothing
// is called clean, and the scan ends unfinished. A delete that is accepted but leaves the
// file in place keeps no copy in the quarantine.

#include "scan/ScanFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace tw::test {
namespace {

bool has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(QuickScanDriveLeaves, AtEachRemovalTheStepFailsAndTheScanEndsUnfinished) {
    struct Case {
        const char* what;
        std::function<void(const TempDir& stick)> plant;
        const char* removed; // the first file the scan deletes
        std::string failure;
        std::string success;
    };
    const Case cases[] = {
        {"disguised folder",
         [](const TempDir& s) {
             makeDir(s / "Photos");
             writeFile(s / "Photos.exe", "MZ");
         },
         "Photos.exe", "Label7: 伪装文件夹病毒{}处理失败！", "Label7: 伪装文件夹病毒{}处理成功！"},
        {"autorun.inf", [](const TempDir& s) { writeFile(s / "autorun.inf", "[autorun]\r\n"); },
         "autorun.inf", "Label7: 病毒配置文件{}清理失败！", "Label7: 病毒配置文件{}清理成功！"},
        {"the program autorun.inf starts",
         [](const TempDir& s) {
             writeFile(s / "autorun.inf", "[autorun]\r\nopen=x.exe\r\n");
             writeFile(s / "x.exe", "MZ");
             setAttr(s / "x.exe", 38);
         },
         "x.exe", "Label7: 威胁清除失败！", "Label7: 已成功清除威胁！"},
        {"suspicious script",
         [](const TempDir& s) {
             writeFile(s / "notes.vbs", "WScript.Echo 1");
             setAttr(s / "notes.vbs", attr::archive);
         },
         "notes.vbs", "Label7: 可疑文件清除失败！", "Label7: 可疑文件已成功清除!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScanHarness h;
        h.view.option[0] = true;
        h.view.answer({mb::yes});
        c.plant(h.stick);
        const std::string path = h.stick / c.removed;
        // The drive leaves the moment the file's delete is asked for.
        h.faulty.refuse = [&h](const std::string& op, const std::string&) {
            if (op == "deleteFile") {
                h.faulty.pullOut(h.D);
            }
            return op == "deleteFile";
        };
        const auto named = [&path](std::string text) {
            const auto at = text.find("{}");
            return at == std::string::npos ? text : text.replace(at, 2, path);
        };

        const Lines lines = h.clickScan();
        EXPECT_TRUE(has(lines, named(c.failure)));
        EXPECT_FALSE(has(lines, named(c.success)));
        EXPECT_FALSE(has(lines, "Label7: 快速扫描已完成！"));
        ASSERT_GE(lines.size(), scanUnfinished.size());
        EXPECT_EQ(
            Lines(lines.end() - static_cast<std::ptrdiff_t>(scanUnfinished.size()), lines.end()),
            scanUnfinished);
        EXPECT_TRUE(exists(path));
    }
}

// Phase 3's marked file, deleted in four ways: the copy in the quarantine is kept only for a
// file that is gone or may be gone.
TEST(QuickScanDriveLeaves, TheQuarantineKeepsACopyOnlyOfAFileThatMayBeGone) {
    enum class Fault { none, refused, withoutEffect, driveLeaves };
    struct Case {
        const char* what;
        Fault fault;
        bool stays;
        std::size_t copies;
        bool finished;
    };
    const Case cases[] = {
        {"deleted", Fault::none, false, 1, true},
        {"refused", Fault::refused, true, 0, true},
        {"accepted without effect", Fault::withoutEffect, true, 0, true},
        {"the drive leaves", Fault::driveLeaves, true, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScanHarness h;
        const std::string p = h.stick / "notes.txt";
        writeFile(p, "hidden");
        setAttr(p, attr::hidden | attr::archive);
        h.faulty.refuse = [&h, &c](const std::string& op, const std::string&) {
            if (op != "deleteFile") {
                return false;
            }
            if (c.fault == Fault::driveLeaves) {
                h.faulty.pullOut(h.D);
            }
            return c.fault == Fault::refused || c.fault == Fault::driveLeaves;
        };
        if (c.fault == Fault::withoutEffect) {
            h.faulty.deleteWithoutEffect = [](const std::string&) { return true; };
        }

        const Lines ending = c.stays ? Lines{"Label7: 威胁" + p + "清除失败！", "wait 2s"}
                                     : Lines{"Label7: 威胁" + p + "已成功清除！", "wait 2s"};
        const std::size_t mark = h.transcript.size();
        Ports ports = h.ports();
        const bool finished = QuickScan(ports, h.D);
        EXPECT_EQ(h.transcript.since(mark),
                  cat({upToPhase3(h.D),
                       {"Label7: 发现病毒" + p + "，正在处理......", "wait 2s"},
                       ending}));
        EXPECT_EQ(finished, c.finished);
        EXPECT_EQ(exists(p), c.stays);
        EXPECT_EQ(h.quarantine.list()->size(), c.copies);
    }
}

} // namespace
} // namespace tw::test
