#include "scan/ScanFixture.h"

#include <gtest/gtest.h>

#include <optional>

namespace tw::test {
namespace {

enum class Outcome { leftAlone, ruleA, askedYes, askedNo };

Lines phase3Lines(Outcome outcome, const std::string& p) {
    switch (outcome) {
    case Outcome::leftAlone:
        return phase3Clean;
    case Outcome::ruleA:
        return virusRemoved(p);
    case Outcome::askedYes:
        return suspiciousRemoved(p);
    case Outcome::askedNo:
        return suspiciousKept(p);
    }
    return {};
}

// One root file per case: its size, attribute word and name decide.
TEST(QuickScanPhase3, RulesBySizeAttributesAndName) {
    struct Case {
        std::string name;
        std::uint64_t size;
        std::uint32_t attributes;
        Outcome outcome;
        std::string programName = "tarnwick";
    };
    const Case cases[] = {
        {"desktop.ini", 300, 38, Outcome::ruleA},
        {"report.doc", 200 * 1024, 33, Outcome::ruleA},
        {"report.doc", 200 * 1024, 0, Outcome::ruleA},
        {"hidden.dat", 2 * 1024 * 1024, 34, Outcome::leftAlone},
        {"marked.exe", 1048575, 38, Outcome::ruleA},
        {"marked.exe", 1048576, 38, Outcome::leftAlone},
        {"setup.exe", 500 * 1024, 32, Outcome::askedYes},
        {"setup.exe", 1048575, 32, Outcome::askedNo},
        {"setup.exe", 1048576, 32, Outcome::leftAlone},
        {"run.vbs", 1024, 32, Outcome::askedYes},
        {"RUN.VBS", 1024, 32, Outcome::askedNo},
        {"SETUP.EXE", 1024, 32, Outcome::askedNo},
        {"empty.exe", 0, 32, Outcome::askedNo},
        {"run.vbe", 1024, 32, Outcome::leftAlone},
        {"tool.Exe", 1024, 32, Outcome::leftAlone},
        {"tool.com", 1024, 32, Outcome::leftAlone},
        {"tool.bat", 1024, 32, Outcome::leftAlone},
        {"exe", 1024, 32, Outcome::leftAlone},
        // The own program is exempt from the question only, and only by its exact name.
        {"tarnwick.exe", 1024, 32, Outcome::leftAlone},
        {"tarnwick.EXE", 1024, 32, Outcome::askedNo},
        {"tarnwick.exe", 1024, 34, Outcome::ruleA},
        {"Tool.exe", 1024, 32, Outcome::leftAlone, "Tool"},
        {"tool.exe", 1024, 32, Outcome::askedNo, "Tool"},
    };
    for (const Case& c : cases) {
        if (keptOnFile(c.attributes) != c.attributes) {
            continue; // a word this file system cannot keep on a file
        }
        SCOPED_TRACE(c.name + " " + std::to_string(c.size) + " " + std::to_string(c.attributes));
        ScanHarness h;
        h.host.name = c.programName;
        writeFileOfSize(h.stick / c.name, c.size);
        setAttr(h.stick / c.name, c.attributes);
        if (c.outcome == Outcome::askedYes) {
            h.view.answer({mb::yes});
        } else if (c.outcome == Outcome::askedNo) {
            h.view.answer({mb::no});
        }
        EXPECT_EQ(h.quickScan(),
                  cat({upToPhase3(h.D), phase3Lines(c.outcome, h.D + native("/") + c.name)}));
        const bool gone = c.outcome == Outcome::ruleA || c.outcome == Outcome::askedYes;
        EXPECT_EQ(exists(h.stick / c.name), !gone);
    }
}

TEST(QuickScanPhase3, RefusedDeletions) {
    {
        ScanHarness h;
        writeFile(h.stick / "desktop.ini", "[.ShellClassInfo]");
        setAttr(h.stick / "desktop.ini", 38);
        h.faulty.refuse = [](const std::string& op, const std::string&) {
            return op == "deleteFile";
        };
        const std::string p = h.D + native("/desktop.ini");
        EXPECT_EQ(h.quickScan(), cat({upToPhase3(h.D),
                                      {"Label7: 发现病毒" + p + "，正在处理......", "wait 2s",
                                       "Label7: 威胁" + p + "清除失败！", "wait 2s"}}));
    }
    {
        ScanHarness h;
        writeFile(h.stick / "run.vbs", "MsgBox 1");
        h.faulty.refuse = [](const std::string& op, const std::string&) {
            return op == "deleteFile";
        };
        h.view.answer({mb::yes});
        const std::string p = h.D + native("/run.vbs");
        EXPECT_EQ(h.quickScan(),
                  cat({upToPhase3(h.D),
                       {"Label7 colour darkred", "Label7: 发现可疑文件" + p + "，等待处理......",
                        "box[4] 提示: 发现可疑文件" + p + "，是否删除? -> Yes", "wait 1s",
                        "Label7: 可疑文件清除失败！", "wait 2s"}}));
        EXPECT_TRUE(exists(h.stick / "run.vbs"));
    }
}

// A file whose length or attributes cannot be read is passed over, not deleted.
TEST(QuickScanPhase3, UnreadableFilesPassedOver) {
    for (const std::string op : {"fileLen", "attributes"}) {
        SCOPED_TRACE(op);
        ScanHarness h;
        writeFile(h.stick / "desktop.ini", "x");
        setAttr(h.stick / "desktop.ini", 38);
        h.faulty.refuse = [&](const std::string& called, const std::string&) {
            EXPECT_NE(called, "deleteFile");
            return called == op;
        };
        EXPECT_EQ(h.quickScan(), cleanScan(h.D));
        EXPECT_TRUE(exists(h.stick / "desktop.ini"));
    }
}

} // namespace
} // namespace tw::test
