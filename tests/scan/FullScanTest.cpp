#include "scan/FullScanFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace tw::test {
namespace {

using std::chrono::milliseconds;

TEST(FullScan, TheWormsItemsGoAndWhatItHidIsShownAgain) {
    FullScanHarness h;
    plantWorm(h.stick);
    const std::string d = h.D;
    const auto p = [&](const std::string& relative) { return native(h.stick / relative); };
    const Lines lines = h.clickScan();
    EXPECT_EQ(
        withoutReasons(lines),
        (Lines{
            "Timer2 off",
            "Label7: 正在初始化完全扫描引擎，请稍候......",
            "Label7: 正在完全扫描" + d + "......（已检查0项）",
            "Label7 colour darkred",
            "Label7: 发现恶意快捷方式" + p("Photos.lnk") + "（…），正在处理......",
            "Label7 colour green",
            "Label7: 恶意快捷方式" + p("Photos.lnk") + "已移入隔离区！",
            "Label7 colour darkred",
            "Label7: 发现病毒文件" + p("sysvolume/u12345.vbs") + "（…），正在处理......",
            "Label7 colour green",
            "Label7: 病毒文件" + p("sysvolume/u12345.vbs") + "已移入隔离区！",
            "Label7 colour green",
            "Label7: 已恢复被隐藏的" + p("Photos") + "！",
            "Label7 colour darkred",
            "Label7: 发现病毒隐藏文件用的文件夹" + p("sysvolume") + "（…）",
            "Label7 colour green",
            "Label7: 已恢复被隐藏的" + p("sysvolume") + "！",
            "Label7: 完全扫描已完成！",
            "box[64] 提示: 完全扫描已完成！\n共检查 11 项。\n清除威胁 2 个，恢复被隐藏的项目 2 "
            "个，留待处理的可疑项 0 个。\n扫描报告：" +
                h.reportPath() + " -> OK",
            "Timer2 on",
        }));
    // The reasons name what gave the shortcut away.
    EXPECT_NE(lines[4].find("cmd.exe"), std::string::npos) << lines[4];

    EXPECT_EQ(h.quarantined(),
              (std::vector<std::string>{
                  std::string(condemned::fullScanLink) + " " + p("Photos.lnk"),
                  std::string(condemned::fullScanPayload) + " " + p("sysvolume/u12345.vbs"),
              }));
    // Hidden and System cleared, nothing else; the user's own hidden items stay hidden.
    EXPECT_EQ(getAttr(h.stick / "Photos"), keptOnFolder(16));
    EXPECT_EQ(getAttr(h.stick / "sysvolume"), keptOnFolder(16));
    EXPECT_EQ(getAttr(h.stick / "System Volume Information"), keptOnFolder(22));
    EXPECT_EQ(getAttr(h.stick / "autorun.inf"), keptOnFolder(23));
    EXPECT_EQ(getAttr(h.stick / "notes.txt"), keptOnFile(34));
    EXPECT_TRUE(exists(h.stick / "Report.lnk"));
    EXPECT_TRUE(exists(h.stick / "Photos/a.jpg"));
    EXPECT_TRUE(exists(h.stick / "System Volume Information/IndexerVolumeGuid"));

    // The report says what was found where, by which signs, and what was done.
    const std::string report = h.report();
    for (const std::string& expected : std::vector<std::string>{
             "驱动器：" + d,
             "[隔离] " + p("Photos.lnk") + "（恶意快捷方式：",
             "cmd.exe",
             "隔离编号 ",
             "[隔离] " + p("sysvolume/u12345.vbs"),
             "[恢复] " + p("Photos") + "：属性 0x16 → 0x10",
             "[恢复] " + p("sysvolume") + "：属性 0x16 → 0x10",
             "共检查 11 项",
         }) {
        EXPECT_NE(report.find(expected), std::string::npos) << expected << "\n" << report;
    }
    EXPECT_EQ(report.find("notes.txt"), std::string::npos);
    EXPECT_FALSE(h.state.fullScanRunning);
}
} // namespace
} // namespace tw::test

namespace tw::test {
namespace {

// Without usable rules the full scan does not start, and nothing on the drive is read.
TEST(FullScan, MissingModuleReadsNothingOnTheDrive) {
    const struct {
        const char* what;
        std::optional<std::string> rules; // nothing: no file; "/": a folder of that name
    } cases[] = {
        {"missing", std::nullopt},
        {"unreadable", "/"},
        {"unknown version", "tarnwick-fullscan-rules 2\n[interpreters]\ncmd.exe\n"},
        {"malformed", "tarnwick-fullscan-rules 1\n[no such section]\nx\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FullScanHarness h;
        removeAll(h.program / "fullscan.rules");
        if (c.rules == "/") {
            makeDir(h.program / "fullscan.rules");
        } else if (c.rules) {
            writeFile(h.program / "fullscan.rules", *c.rules);
        }
        plantWorm(h.stick);
        failOnDriveCalls(h, true);
        EXPECT_EQ(h.clickScan(), fullScanModuleMissing);
        EXPECT_EQ(getAttr(h.stick / "Photos"), keptOnFolder(22));
        EXPECT_TRUE(exists(h.stick / "Photos.lnk"));
        EXPECT_TRUE(namesIn(h.reports.path()).empty());
    }
}

// What could be the user's own is asked about: Yes moves it into the quarantine, No leaves it.
TEST(FullScan, SuspiciousItemsAreAskedAbout) {
    FullScanHarness h;
    makeDir(h.stick / "Docs");
    writeFile(h.stick / "Docs.exe", "MZ");
    writeFile(h.stick / "photo.jpg.exe", "MZ");
    h.view.answer({mb::yes, mb::no});
    const std::string docs = native(h.stick / "Docs.exe");
    const std::string photo = native(h.stick / "photo.jpg.exe");
    const Lines lines = h.clickScan();
    EXPECT_EQ(
        withoutReasons(lines),
        (Lines{
            "Timer2 off",
            "Label7: 正在初始化完全扫描引擎，请稍候......",
            "Label7: 正在完全扫描" + h.D + "......（已检查0项）",
            "Label7 colour darkred",
            "Label7: 发现可疑文件" + docs + "（…），等待处理......",
            "box[4] 提示: 发现可疑文件" + docs + "（…），是否移入隔离区？ -> Yes",
            "Label7 colour green",
            "Label7: 可疑文件" + docs + "已移入隔离区！",
            "Label7 colour darkred",
            "Label7: 发现可疑文件" + photo + "（…），等待处理......",
            "box[4] 提示: 发现可疑文件" + photo + "（…），是否移入隔离区？ -> No",
            "Label7: 完全扫描已完成！",
            "box[64] 提示: 完全扫描已完成！\n共检查 3 项。\n清除威胁 1 个，恢复被隐藏的项目 0 "
            "个，留待处理的可疑项 1 个。\n扫描报告：" +
                h.reportPath() + " -> OK",
            "Timer2 on",
        }));
    EXPECT_EQ(h.quarantined(),
              (std::vector<std::string>{std::string(condemned::fullScanSuspicious) + " " + docs}));
    EXPECT_TRUE(exists(h.stick / "photo.jpg.exe"));
    const std::string report = h.report();
    EXPECT_NE(report.find("[可疑] " + photo), std::string::npos) << report;
    EXPECT_NE(report.find("您选择保留"), std::string::npos) << report;
}

// A clock whose time moves only when the scan hands the window its events, as a busy window
// does: each time by step.
class SteppingClock final : public Clock {
public:
    SteppingClock(VirtualClock& clock, milliseconds step) : m_clock(clock), m_step(step) {}
    void wait(milliseconds duration) override { m_clock.wait(duration); }
    void handleEvents() override { m_clock.idle(m_step); }
    [[nodiscard]] milliseconds now() const override { return m_clock.now(); }

private:
    VirtualClock& m_clock;
    milliseconds m_step;
};

// A second click on "立即扫描（S)" asks whether to stop; Yes stops the walk between two
// items, what was done stays done, and the rest of the drive is left as it is.
TEST(FullScan, ASecondClickAsksToStopAndTheWorkDoneIsKept) {
    FullScanHarness h;
    for (const char* folder : {"a", "b", "c", "d", "e", "f"}) {
        makeDir(h.stick / folder);
        makeDir(h.stick / (std::string(folder) + "/sysvolume"));
        setAttr(h.stick / (std::string(folder) + "/sysvolume"), 22);
    }
    SteppingClock clock(h.clock, milliseconds(100));
    Form1 form(Ports{h.faulty, h.host, h.view, clock, *h.quarantineInUse}, h.state);
    h.view.setEnabled(Ctl::Label6, true);
    // A click before the scan's question is answered: No goes on, the second Yes stops.
    h.clock.schedule(milliseconds(250), [&] { form.Label_Click(Ctl::Label6); });
    h.clock.schedule(milliseconds(650), [&] { form.Label_Click(Ctl::Label6); });
    h.view.answer({mb::no, mb::yes});
    const std::size_t mark = h.transcript.size();
    form.Label_Click(Ctl::Label6);
    const auto p = [&](const std::string& relative) { return native(h.stick / relative); };
    const Lines lines = h.transcript.since(mark);
    EXPECT_EQ(withoutReasons(lines),
              (Lines{
                  "Timer2 off",
                  "Label7: 正在初始化完全扫描引擎，请稍候......",
                  "Label7: 正在完全扫描" + h.D + "......（已检查0项）",
                  "box[4] 提示: 完全扫描正在进行，是否停止扫描？ -> No",
                  "Label7 colour darkred",
                  "Label7: 发现病毒隐藏文件用的文件夹" + p("a/sysvolume") + "（…）",
                  "Label7 colour green",
                  "Label7: 已恢复被隐藏的" + p("a/sysvolume") + "！",
                  "Label7: 正在完全扫描" + p("b") + "......（已检查7项）",
                  "Label7 colour darkred",
                  "Label7: 发现病毒隐藏文件用的文件夹" + p("b/sysvolume") + "（…）",
                  "Label7 colour green",
                  "Label7: 已恢复被隐藏的" + p("b/sysvolume") + "！",
                  "box[4] 提示: 完全扫描正在进行，是否停止扫描？ -> Yes",
                  "Label7: 完全扫描已停止，已完成的处理均已保留！",
                  "box[64] 提示: 完全扫描已停止，已完成的处理均已保留！\n共检查 9 项。\n清除威胁 0 "
                  "个，恢复被隐藏的项目 2 个，留待处理的可疑项 0 个。\n扫描报告：" +
                      h.reportPath() + " -> OK",
                  "Timer2 on",
              }));
    EXPECT_EQ(getAttr(h.stick / "b/sysvolume"), keptOnFolder(16));
    EXPECT_EQ(getAttr(h.stick / "c/sysvolume"), keptOnFolder(22));
    EXPECT_EQ(getAttr(h.stick / "f/sysvolume"), keptOnFolder(22));
    EXPECT_NE(h.report().find("扫描被您停止"), std::string::npos);
    EXPECT_FALSE(h.state.fullScanRunning);
    EXPECT_FALSE(h.state.stopFullScan);
    EXPECT_FALSE(h.state.actionRunning);
}

// The stick pulled out mid-walk: the scan ends saying the drive could not be read, keeps what
// it did, and writes its report all the same.
TEST(FullScan, TheStickPulledOutEndsTheWalk) {
    if (underWine()) {
        GTEST_SKIP() << "Wine keeps a folder held open in place until its last handle closes";
    }
    FullScanHarness h;
    for (const char* folder : {"a", "b", "c"}) {
        makeDir(h.stick / folder);
        makeDir(h.stick / (std::string(folder) + "/sysvolume"));
        setAttr(h.stick / (std::string(folder) + "/sysvolume"), 22);
    }
    SteppingClock clock(h.clock, milliseconds(100));
    Form1 form(Ports{h.faulty, h.host, h.view, clock, *h.quarantineInUse}, h.state);
    h.view.setEnabled(Ctl::Label6, true);
    h.clock.schedule(milliseconds(350), [&] { removeAll(h.stick.path()); });
    const std::size_t mark = h.transcript.size();
    form.Label_Click(Ctl::Label6);
    const Lines lines = h.transcript.since(mark);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[lines.size() - 3], "Label7: 没有检测到U盘，无法完成扫描！");
    EXPECT_TRUE(lines[lines.size() - 2].starts_with(
        "box[64] 提示: U盘已无法读取，完全扫描未能完成，已完成的处理均已保留。"))
        << lines[lines.size() - 2];
    EXPECT_NE(h.report().find("驱动器已无法读取，扫描未能完成"), std::string::npos);
    EXPECT_FALSE(h.state.actionRunning);
}

// Where the file system keeps no attributes the scan says so and leaves hidden items alone:
// a worm's shortcut with two signs still goes.
TEST(FullScan, WithoutAttributesTheHiddenItemChecksAreSkipped) {
    FullScanHarness h;
    plantWorm(h.stick);
    h.faulty.refuse = [](const std::string& op, const std::string&) {
        return op == "listAttributes";
    };
    const Lines lines = h.clickScan();
    const std::string unreadable = "Label7: 无法读取" + h.D + "盘的文件属性，已跳过隐藏项检查！";
    EXPECT_NE(std::find(lines.begin(), lines.end(), unreadable), lines.end());
    EXPECT_EQ(getAttr(h.stick / "sysvolume"), keptOnFolder(22));
    EXPECT_FALSE(exists(h.stick / "Photos.lnk"));
    EXPECT_NE(lines[lines.size() - 2].find("该U盘的文件系统无法读取文件属性，已跳过隐藏项检查。"),
              std::string::npos);
    EXPECT_NE(h.report().find("文件属性：该驱动器的文件系统无法读取文件属性"), std::string::npos);
}

} // namespace
} // namespace tw::test
