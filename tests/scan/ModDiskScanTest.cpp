#include "scan/ModDiskScan.h"

#include "support/Fragments.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const Lines scanStart = {"Label7: 准备扫描本地硬盘，请稍候......", "wait 2s"};

Lines scanning(const TempDir& disk) {
    return {"Label7 colour green", "Label7: 正在扫描" + disk.path() + "盘，请稍候......",
            "wait 1s"};
}

// An autorun.inf found on the disk, and the question about it.
// A disk's autorun.inf removed after the question.
Lines removed(const std::string& autorun) {
    return {
        "Label7: 正在清除" + autorun + "，请稍候......",
        "wait 1s",
        "Label7 colour green",
        "Label7: 成功清除" + autorun + "!",
        "box[64] 提示: " + autorun + "处理成功！ -> OK",
    };
}

Lines threatFound(const TempDir& disk, const std::string& answer) {
    return {
        "Label7 colour darkred",
        "Label7: 检测到" + disk.path() + native("/autorun.inf存在威胁，等待处理...."),
        "box[1] 威胁: 检测到" + disk.path() + "盘中存在Autorun威胁！是否处理？ -> " + answer,
    };
}

class DiskScan : public ::testing::Test {
protected:
    DiskScan() {
        h.declareDrives("removable=" + h.stick.path() + ";fixed=" + c.path() +
                        ";ram=" + ram.path() + ";fixed=" + d.path() + ";network=" + net.path());
        // The removable stick's autorun.inf is not this scan's business.
        writeFile(h.stick / "autorun.inf", "[autorun]\r\nopen=x.exe\r\n");
        writeFile(ram / "autorun.inf", "");
        writeFile(net / "autorun.inf", "");
        // Readiness is asked of fixed disks only: a hung network mount must not be touched.
        h.faulty.readyOverride = [this](const Drive& drive) {
            if (drive.type != drivetype::fixed) {
                ADD_FAILURE() << "readiness asked of " << drive.path;
            }
            return h.real->isReady(drive);
        };
    }
    void run() {
        auto ports = h.ports();
        ModDiskScan(ports);
    }

    Harness h;
    TempDir c{"c"};
    TempDir d{"d"};
    TempDir ram{"ram"};
    TempDir net{"net"};
};

TEST_F(DiskScan, NoThreatScansEachReadyFixedDiskForASecond) {
    makeDir(d / "autorun.inf"); // a folder of that name is no threat
    run();
    EXPECT_EQ(h.lines(), cat({scanStart,
                              scanning(c),
                              scanning(d),
                              {"Label7: 硬盘扫描完成，没有检测到Auto威胁！"},
                              diskScanEnd}));
    EXPECT_TRUE(exists(d / "autorun.inf"));
    EXPECT_TRUE(exists(h.stick / "autorun.inf"));
    EXPECT_TRUE(exists(ram / "autorun.inf"));
    EXPECT_TRUE(exists(net / "autorun.inf"));
}

TEST_F(DiskScan, ThreatsOnTwoDisksRemovedAndCancelled) {
    // A read-only, hidden file on C: is removed on OK; D:'s is kept on Cancel.
    writeFile(c / "AUTORUN.INF", "[autorun]");
    setAttr(c / "AUTORUN.INF", 1 | 2 | 32);
    writeFile(d / "autorun.inf", "[autorun]");
    h.view.answer({mb::ok, mb::cancel});
    run();
    const std::string ca = c / "autorun.inf";
    const std::string da = d / "autorun.inf";
    EXPECT_EQ(h.lines(), cat({scanStart,
                              scanning(c),
                              threatFound(c, "OK"),
                              removed(ca),
                              scanning(d),
                              threatFound(d, "Cancel"),
                              {"Label7: 硬盘扫描完成，已处理所有检测到的Auto威胁！"},
                              diskScanEnd}));
    EXPECT_FALSE(exists(c / "AUTORUN.INF"));
    EXPECT_TRUE(exists(da));
    EXPECT_EQ(h.view.foreColor(Ctl::Label7), colors::darkRed);
}

TEST_F(DiskScan, RefusedDeletionIsReportedAndTheScanGoesOn) {
    writeFile(c / "autorun.inf", "");
    h.faulty.refuse = [](const std::string& op, const std::string&) { return op == "deleteFile"; };
    h.view.answer({mb::ok});
    run();
    const std::string ca = c / "autorun.inf";
    const Lines tail = h.transcript.since(8);
    EXPECT_EQ(tail, cat({{
                             "Label7: 正在清除" + ca + "，请稍候......",
                             "wait 1s",
                             "Label7: " + ca + "处理失败！",
                             "box[48] 提示: " + ca + "处理失败！ -> OK",
                         },
                         scanning(d),
                         {"Label7: 硬盘扫描完成，已处理所有检测到的Auto威胁！"},
                         diskScanEnd}));
    EXPECT_TRUE(exists(ca));
}

// A disk's autorun.inf goes into the quarantine before it is deleted; one the quarantine
// cannot hold (larger than its bound) stays, and its failure texts show.
TEST_F(DiskScan, RemovedFilesGoThroughTheQuarantine) {
    writeFile(c / "autorun.inf", "[autorun]\r\nopen=x.exe\r\n");
    writeFileOfSize(d / "autorun.inf", Harness::quarantineBound + 1);
    h.view.answer({mb::ok, mb::ok});
    run();
    const std::string ca = c / "autorun.inf";
    const std::string da = d / "autorun.inf";
    EXPECT_EQ(h.lines(), cat({scanStart,
                              scanning(c),
                              threatFound(c, "OK"),
                              removed(ca),
                              scanning(d),
                              threatFound(d, "OK"),
                              {
                                  "Label7: 正在清除" + da + "，请稍候......",
                                  "wait 1s",
                                  "Label7: " + da + "处理失败！",
                                  "box[48] 提示: " + da + "处理失败！ -> OK",
                                  "Label7: 硬盘扫描完成，已处理所有检测到的Auto威胁！",
                              },
                              diskScanEnd}));
    EXPECT_FALSE(exists(ca));
    EXPECT_TRUE(exists(da));
    const auto items = h.quarantine.list();
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ(items->front().originalPath, ca);
    EXPECT_EQ(items->front().driveRoot, c.path());
    EXPECT_EQ(items->front().condemnedBy, condemned::diskScan);
}

TEST_F(DiskScan, NotReadyFixedDiskIsSkippedSilently) {
    h.declareDrives("fixed=" + c.path() + native("/missing;fixed=") + d.path());
    run();
    EXPECT_EQ(h.transcript.since(2)[1], "Label7: 正在扫描" + d.path() + "盘，请稍候......");
    EXPECT_EQ(h.clock.waited(), std::chrono::seconds(2 + 1 + 2));
}

} // namespace
} // namespace tw::test
