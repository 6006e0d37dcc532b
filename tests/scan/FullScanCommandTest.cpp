#include "app/CommandLine.h"
#include "scan/FullScanCommand.h"
#include "support/NullPorts.h"
#include "scan/FullScanFixture.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

struct CommandRun {
    int status = -1;
    std::string out;
    std::string err;
};

CommandRun fullScanCommand(FullScanHarness& h, const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    CommandRun run;
    run.status = FullScanCommand(h.faulty, h.host, h.quarantine, h.clock, arguments, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// Paths that are not a removable drive the program sees, and a missing module, are refused
// with status 2, before anything on the drive is read.
TEST(FullScanCommand, RefusedWithStatusTwo) {
    const struct {
        const char* what;
        std::vector<std::string> (*arguments)(FullScanHarness&);
        bool removeRules;
        const char* error;
    } cases[] = {
        {"no path", [](FullScanHarness&) { return std::vector<std::string>{"--dry-run"}; }, false,
         "请指定要扫描的U盘路径"},
        {"a fixed drive",
         [](FullScanHarness& h) { return std::vector<std::string>{h.temp.path()}; }, false,
         "不是本程序能识别的U盘"},
        {"a folder on the stick",
         [](FullScanHarness& h) { return std::vector<std::string>{native(h.stick / "Photos")}; },
         false, "不是本程序能识别的U盘"},
        {"two paths",
         [](FullScanHarness& h) {
             return std::vector<std::string>{h.stick.path(), h.stick.path()};
         },
         false, "多余的参数"},
        {"no rules", [](FullScanHarness& h) { return std::vector<std::string>{h.stick.path()}; },
         true, "检测不到完全扫描模块，无法继续......"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FullScanHarness h;
        h.declareDrives("removable=" + h.stick.path() + ";fixed=" + h.temp.path());
        plantWorm(h.stick);
        if (c.removeRules) {
            removeAll(h.program / "fullscan.rules");
        }
        const CommandRun run = fullScanCommand(h, c.arguments(h));
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
        EXPECT_TRUE(exists(h.stick / "Photos.lnk"));
        EXPECT_TRUE(namesIn(h.reports.path()).empty());
    }
}

// One stick, three runs: a dry run lists and changes nothing; a real run removes and shows
// again, asks nothing and leaves what is suspicious; a run over the cleaned stick finds
// nothing more.
TEST(FullScanCommand, DryRunThenCleanThenNothingLeft) {
    FullScanHarness h;
    plantWorm(h.stick);
    makeDir(h.stick / "Docs");
    writeFile(h.stick / "Docs.exe", "MZ");
    const auto p = [&](const std::string& relative) { return native(h.stick / relative); };

    const CommandRun dry = fullScanCommand(h, {h.stick.path() + native("/"), "--dry-run"});
    EXPECT_EQ(dry.status, 1);
    EXPECT_EQ(dry.err, "");
    for (const std::string& expected : std::vector<std::string>{
             "发现恶意快捷方式" + p("Photos.lnk"),
             "，演示模式，未作更改",
             "发现可疑文件" + p("Docs.exe"),
             "演示模式：只检查，未作任何更改。",
             "发现威胁 4 个，可恢复的被隐藏项目 2 个。",
         }) {
        EXPECT_NE(dry.out.find(expected), std::string::npos) << expected << "\n" << dry.out;
    }
    EXPECT_TRUE(exists(h.stick / "Photos.lnk"));
    EXPECT_TRUE(exists(h.stick / "sysvolume/u12345.vbs"));
    EXPECT_EQ(getAttr(h.stick / "Photos"), keptOnFolder(22));
    EXPECT_TRUE(h.quarantined().empty());
    ASSERT_EQ(namesIn(h.reports.path()).size(), 1u);
    EXPECT_NE(h.report().find("[演示] "), std::string::npos);

    removeAll(h.reports / namesIn(h.reports.path())[0]);
    const CommandRun real = fullScanCommand(h, {h.stick.path()});
    EXPECT_EQ(real.status, 1);
    for (const std::string& expected : std::vector<std::string>{
             "恶意快捷方式" + p("Photos.lnk") + "已移入隔离区！\n",
             "病毒文件" + p("sysvolume/u12345.vbs") + "已移入隔离区！\n",
             "已恢复被隐藏的" + p("Photos") + "！\n",
             "发现可疑文件" + p("Docs.exe"),
             "清除威胁 2 个，恢复被隐藏的项目 2 个，留待处理的可疑项 1 个。\n",
             "扫描报告：" + h.reportPath() + "\n",
         }) {
        EXPECT_NE(real.out.find(expected), std::string::npos) << expected << "\n" << real.out;
    }
    EXPECT_EQ(real.out.find("是否移入隔离区"), std::string::npos);
    EXPECT_TRUE(exists(h.stick / "Docs.exe"));
    EXPECT_EQ(h.quarantined().size(), 2u);

    // With the suspicious file gone as well, the stick is clean.
    removeAll(h.stick / "Docs.exe");
    const CommandRun again = fullScanCommand(h, {h.stick.path()});
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_NE(again.out.find("清除威胁 0 个，恢复被隐藏的项目 0 个，留待处理的可疑项 0 个。"),
              std::string::npos)
        << again.out;
}

// The option reaches its hook with its arguments and passes its status on; without an
// argument it is a usage error; the help lists it.
TEST(FullScanCommand, TheOptionOfTheCommandLine) {
    NullQuarantine quarantine;
    CommandHooks hooks;
    std::vector<std::string> seen;
    hooks.fullScan = [&](const std::vector<std::string>& arguments, std::ostream&, std::ostream&) {
        seen = arguments;
        return 1;
    };
    const auto run = [&](const std::vector<std::string>& arguments) {
        std::ostringstream out;
        std::ostringstream err;
        const int status =
            runCommand(parseCommandLine(arguments), quarantine, "1", out, err, hooks);
        return std::make_pair(status, out.str() + err.str());
    };
    EXPECT_EQ(run({"--full-scan", "/media/STICK", "--dry-run"}).first, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"/media/STICK", "--dry-run"}));
    seen.clear();
    for (const auto& wrong :
         std::vector<std::vector<std::string>>{{"--full-scan"}, {"--full-scan", "a", "b", "c"}}) {
        const auto [status, text] = run(wrong);
        EXPECT_EQ(status, 2);
        EXPECT_NE(text.find("--full-scan"), std::string::npos) << text;
    }
    EXPECT_TRUE(seen.empty());
    EXPECT_NE(run({"--help"}).second.find("--full-scan 路径 [--dry-run]"), std::string::npos);
}

} // namespace
} // namespace tw::test
