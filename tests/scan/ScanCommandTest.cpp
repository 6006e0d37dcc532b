#include "scan/ScanFixture.h"
#include "support/Fragments.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace tw::test {
namespace {

using std::chrono::milliseconds;

// An autorun.inf naming x.exe, a small marked executable: a quick scan removes both.
void plantAutorunVirus(const TempDir& stick) {
    writeFile(stick / "autorun.inf", "open=x.exe\r\n");
    writeFile(stick / "x.exe", "MZ");
    setAttr(stick / "x.exe", 38);
}

TEST(ScanCommand, QuickScanThenTheMonitorResumes) {
    ScanHarness h;
    h.view.option[0] = true;
    EXPECT_EQ(h.clickScan(), cat({{"Timer2 off"}, cleanScan(h.D), scanFinished}));
    EXPECT_FALSE(h.state.actionRunning);

    const std::size_t mark = h.transcript.size();
    h.clock.idle(milliseconds(3000));
    EXPECT_EQ(h.transcript.since(mark), stickConnected(h.D));
}

TEST(ScanCommand, FullScanReportsTheMissingModuleAndTouchesNothing) {
    ScanHarness h;
    h.view.option[1] = true;
    plantAutorunVirus(h.stick);
    failOnDriveCalls(h, false);
    EXPECT_EQ(h.clickScan(), fullScanModuleMissing);
    EXPECT_TRUE(exists(h.stick / "autorun.inf"));
    EXPECT_TRUE(exists(h.stick / "x.exe"));
}

TEST(ScanCommand, NoRemovableDrive) {
    for (const int option : {0, 1}) {
        SCOPED_TRACE(option);
        ScanHarness h;
        h.view.option[option] = true;
        h.declareDrives("fixed=" + h.temp.path() + ";cdrom=" + h.stick.path());
        EXPECT_EQ(h.clickScan(), (Lines{
                                     "Timer2 off",
                                     "Label7: 没有检测到U盘，无法完成扫描！",
                                     "box[64] 提示: 没有检测到U盘，无法完成扫描！ -> OK",
                                     "Timer2 on",
                                 }));
    }
}

TEST(ScanCommand, NeitherOptionPausesAndResumesOnly) {
    ScanHarness h;
    int probes = 0;
    h.faulty.drivesOverride = [&] {
        ++probes;
        return declaredDrives("removable=" + h.stick.path());
    };
    EXPECT_EQ(h.clickScan(), (Lines{"Timer2 off", "Timer2 on"}));
    EXPECT_EQ(probes, 0);
}

// Only the first ready removable drive is scanned.
TEST(ScanCommand, FirstRemovableDriveOnly) {
    ScanHarness h;
    TempDir second("second");
    writeFile(second / "autorun.inf", "[autorun]\r\n");
    h.declareDrives("removable=" + h.stick.path() + ";removable=" + second.path());
    h.view.option[0] = true;
    EXPECT_EQ(h.clickScan(), cat({{"Timer2 off"}, cleanScan(h.D), scanFinished}));
    EXPECT_TRUE(exists(second / "autorun.inf"));
}

// Clicks on the drive actions during the scan's waits and during its question are ignored:
// the engine is never entered twice.
TEST(ScanCommand, ClicksDuringTheScanAreIgnored) {
    ScanHarness h;
    h.view.option[0] = true;
    writeFile(h.stick / "setup.exe", "MZ");
    auto form = h.form();
    const auto clickAll = [&] {
        for (Ctl label : {Ctl::Label6, Ctl::Label2, Ctl::Label3, Ctl::Label4}) {
            form.Label_Click(label);
        }
    };
    h.clock.schedule(milliseconds(1000), clickAll);   // the first start text
    h.clock.schedule(milliseconds(12'500), clickAll); // phase 2
    h.view.duringBox = clickAll;
    h.view.answer({mb::no});
    EXPECT_EQ(h.clickScan(), cat({{"Timer2 off"},
                                  upToPhase3(h.D),
                                  suspiciousKept(h.D + native("/setup.exe")),
                                  scanFinished}));
    EXPECT_FALSE(h.state.actionRunning);
}

// The stick is pulled out during the first folder's wait: the engine runs on to its end, with
// no box and no write anywhere.
TEST(ScanCommand, DrivePulledOutMidScan) {
    if (underWine()) {
        GTEST_SKIP() << "Wine keeps a folder held open in place until its last handle closes";
    }
    ScanHarness h;
    h.view.option[0] = true;
    makeDir(h.stick / "Photos");
    writeFile(h.stick / "Photos.exe", "MZ");
    makeDir(h.stick / "Hidden");
    setAttr(h.stick / "Hidden", 18);
    plantAutorunVirus(h.stick);

    bool pulled = false;
    std::vector<std::string> callsAfter;
    h.faulty.refuse = [&](const std::string& op, const std::string&) {
        if (pulled) {
            callsAfter.push_back(op);
        }
        return false;
    };
    h.clock.schedule(milliseconds(6000), [&] {
        removeAll(h.stick.path());
        pulled = true;
    });
    EXPECT_EQ(h.clickScan(), cat({{"Timer2 off"},
                                  engineStart,
                                  folderScanned(h.D),
                                  folderScanned(h.D),
                                  phaseUnreadable,
                                  phase2Start(h.D),
                                  phaseUnreadable,
                                  phase3Start,
                                  phaseUnreadable,
                                  scanUnfinished}));
    for (const std::string& op : callsAfter) {
        EXPECT_TRUE(op == "fileExists" || op == "attributes" || op == "list" || op == "openText")
            << op;
    }
}

// The drive stops answering from phase 2 on, its files still in place: nothing is changed.
TEST(ScanCommand, DriveStopsAnsweringMidScan) {
    ScanHarness h;
    h.view.option[0] = true;
    plantAutorunVirus(h.stick);
    bool gone = false;
    h.faulty.refuse = [&](const std::string&, const std::string&) { return gone; };
    h.faulty.readyOverride = [&](const Drive&) { return !gone; };
    h.clock.schedule(milliseconds(6000), [&] { gone = true; }); // phase 1's summary
    EXPECT_EQ(h.clickScan(), cat({{"Timer2 off"},
                                  engineStart,
                                  phase1Clean,
                                  phase2Start(h.D),
                                  phaseUnreadable,
                                  phase3Start,
                                  phaseUnreadable,
                                  scanUnfinished}));
    EXPECT_TRUE(exists(h.stick / "autorun.inf"));
    EXPECT_TRUE(exists(h.stick / "x.exe"));
}

} // namespace
} // namespace tw::test
