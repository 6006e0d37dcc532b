#include "scan/FullScanReport.h"
#include "scan/ScanFixture.h"
#include "support/ShellLinkWriter.h"
#include "support/ShippedRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace tw::test {
namespace {

using std::chrono::milliseconds;

void writeLink(const std::string& path, const LinkSpec& spec) {
    const auto bytes = writeShellLink(spec);
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

// The reasons a verdict gives are the verdict's own texts: a transcript here shows where
// they stand, not their wording.
Lines withoutReasons(const Lines& lines) {
    Lines out;
    for (std::string line : lines) {
        const auto open = line.find("（");
        const auto close = line.rfind("）");
        if ((line.starts_with("Label7: 发现") || line.starts_with("box[4]")) &&
            open != std::string::npos && close != std::string::npos && close > open) {
            line = line.substr(0, open) + "（…）" + line.substr(close + std::string("）").size());
        }
        out.push_back(line);
    }
    return out;
}

// A harness with the shipped rules beside the program and the full scan selected.
struct FullScanHarness : ScanHarness {
    FullScanHarness() {
        writeFile(program / "fullscan.rules", shippedFullScanRules);
        host.reports = reports.path();
        view.option[1] = true;
    }
    // The one report written, or "" when none.
    std::string report() const {
        const auto names = namesIn(reports.path());
        return names.size() == 1 ? readFile(reports / names[0]) : "";
    }
    std::string reportPath() const {
        const auto names = namesIn(reports.path());
        return names.size() == 1 ? native(reports / names[0]) : "";
    }
    std::vector<std::string> quarantined() {
        std::vector<std::string> out;
        for (const QuarantineItem& item :
             quarantine.list().value_or(std::vector<QuarantineItem>{})) {
            out.push_back(item.condemnedBy + " " + item.originalPath);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    TempDir reports{"reports"};
};

// The shape today's worms leave, by hand: a hidden folder with a shortcut of its name that
// runs an encoded script kept in a hidden "sysvolume", beside the user's own shortcut, a
// folder Windows keeps hidden, the protective autorun.inf folder and a note the user hid.
void plantWorm(const TempDir& stick) {
    makeDir(stick / "Photos");
    writeFile(stick / "Photos/a.jpg", "jpeg");
    setAttr(stick / "Photos", 22);
    LinkSpec worm;
    worm.linkInfoPath = "C:\\Windows\\System32\\cmd.exe";
    worm.arguments = "/c start wscript /e:VBScript.Encode sysvolume\\u12345.vbs & start explorer "
                     "Photos & exit";
    worm.showCommand = 7;
    writeLink(stick / "Photos.lnk", worm);
    makeDir(stick / "sysvolume");
    writeFile(stick / "sysvolume/u12345.vbs", "#@~^AQAAAA==x^#~@");
    setAttr(stick / "sysvolume", 22);

    makeDir(stick / "docs");
    writeFile(stick / "docs/report.docx", "PK");
    LinkSpec own;
    own.linkInfoPath = "C:\\Program Files\\Office\\WINWORD.EXE";
    own.arguments = "E:\\docs\\report.docx";
    writeLink(stick / "Report.lnk", own);
    makeDir(stick / "System Volume Information");
    writeFile(stick / "System Volume Information/IndexerVolumeGuid", "{x}");
    setAttr(stick / "System Volume Information", 22);
    makeDir(stick / "autorun.inf");
    setAttr(stick / "autorun.inf", 23);
    writeFile(stick / "notes.txt", "mine");
    setAttr(stick / "notes.txt", 34);
}

TEST(FullScan, TheWormsItemsGoAndWhatItHidIsShownAgain) {
    FullScanHarness h;
    plantWorm(h.stick);
    const std::string d = h.D;
    const auto p = [&](const std::string& relative) { return native(h.stick / relative); };
    const Lines lines = h.clickScan();
    EXPECT_EQ(withoutReasons(lines),
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
                  "box[64] 提示: 完全扫描已完成！\n共检查 11 项，清除威胁 2 个，恢复被隐藏的项目 2 "
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
