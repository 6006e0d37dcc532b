#include "scan/FullScanRules.h"

#include "support/Harness.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

const std::string head = "tarnwick-fullscan-rules 1\n";
const std::string minimal = head + "[interpreters]\ncmd.exe\n[candidate-extensions]\n.lnk\n";

std::string shippedPath() {
    return test::native(std::string(TARNWICK_SOURCE_DIR) + "/data/fullscan.rules");
}

// The shipped file, through the loader, and what its lists answer.
TEST(FullScanRules, ShippedFile) {
    test::RealFileSystem fs;
    const RulesLoad load = loadFullScanRules(fs, shippedPath());
    ASSERT_TRUE(load.rules) << load.error;
    const FullScanRules& r = *load.rules;
    EXPECT_EQ(r.version, 1);
    EXPECT_EQ(r.paddingThreshold, 32u);
    EXPECT_TRUE(r.wrapperDriveLabel);
    struct Case {
        bool (FullScanRules::*ask)(std::string_view) const;
        std::string name;
        bool answer;
    };
    const Case cases[] = {
        {&FullScanRules::isInterpreter, "CMD.EXE", true},
        {&FullScanRules::isInterpreter, "wscript", true},
        {&FullScanRules::isInterpreter, "rundll32.exe", true},
        {&FullScanRules::isInterpreter, "notepad.exe", false},
        {&FullScanRules::isInterpreter, "cmd.exe.lnk", false},
        {&FullScanRules::isWrapperName, "\xC2\xA0", true},
        {&FullScanRules::isWrapperName, "SysVolume", true},
        {&FullScanRules::isWrapperName, "sysvolume.x86", true},
        {&FullScanRules::isWrapperName, "RECYCLER.BIN", true},
        {&FullScanRules::isWrapperName, "_", true},
        {&FullScanRules::isWrapperName, "docs", false},
        {&FullScanRules::isRecycleLike, "Recycler", true},
        {&FullScanRules::isRecycleLike, "$RECYCLE.BIN", false},
        {&FullScanRules::isPayloadName, "u123456.vbs", true},
        {&FullScanRules::isPayloadName, "U9.DAT", true},
        {&FullScanRules::isPayloadName, "u.vbs", false},
        {&FullScanRules::isPayloadName, "u12a.vbs", false},
        {&FullScanRules::isPayloadName, "~WYDCNU.FAT32", true},
        {&FullScanRules::isPayloadName, "1.exe", true},
        {&FullScanRules::isPayloadName, "a1.exe", false},
        {&FullScanRules::isPayloadName, "report.docx", false},
        {&FullScanRules::isScript, "run.VBS", true},
        {&FullScanRules::isScript, "run.vbs.txt", false},
        {&FullScanRules::isExecutable, "setup.v2.exe", true},
        {&FullScanRules::isExecutable, "exe", false},
        {&FullScanRules::isCandidate, "x.LNK", true},
        {&FullScanRules::isCandidate, "Desktop.ini", true},
        {&FullScanRules::isCandidate, "a.docx", false},
        {&FullScanRules::isUntouched, "system volume information", true},
        {&FullScanRules::isUntouched, "$Extend", true},
        {&FullScanRules::isUntouched, "System Volume", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ((r.*c.ask)(c.name), c.answer) << c.name;
    }
    const auto signs = r.argumentSigns;
    EXPECT_TRUE(std::any_of(signs.begin(), signs.end(), [](const ArgumentPattern& p) {
        return p.sign == ArgumentSign::remoteInstaller && p.pattern == "msiexec*\\\\";
    }));
}

// Files the parser refuses as a whole, each with the reason it gives.
TEST(FullScanRules, Refused) {
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"", "empty"},
        {"\n" + minimal, "not a rules file"},
        {"tarnwick-fullscan-rules\n", "not a rules file"},
        {"tarnwick-fullscan-rule 1\n", "not a rules file"},
        {"tarnwick-fullscan-rules 2\n[interpreters]\ncmd.exe\n", "unknown version 2"},
        {"tarnwick-fullscan-rules 1.0\n", "unknown version"},
        {head, "no interpreters"},
        {head + "[interpreters]\ncmd.exe\n", "no candidate extensions"},
        {minimal + "[payloads]\n", "line 6: unknown section [payloads]"},
        {minimal + "[settings\n", "without ']'"},
        {head + "cmd.exe\n", "line 2: an entry before any section"},
        {minimal + "[argument-signs]\nrun-hidden = -w hidden\n", "unknown argument sign"},
        {minimal + "[argument-signs]\n-enc\n", "expected \"key = value\""},
        {minimal + "[argument-signs]\nexits-afterwards = **\n", "matches everything"},
        {minimal + "[payload-names]\n*#\n", "matches everything"},
        {minimal + "[wrapper-folders]\n\\x41\n", "bad escape"},
        {minimal + "[wrapper-folders]\n\\u12\n", "bad escape"},
        {minimal + "[wrapper-folders]\n\\uD800\n", "bad escape"},
        {minimal + "[wrapper-folders]\n\\u0000\n", "bad escape"},
        {minimal + "[script-extensions]\nvbs\n", "an extension"},
        {minimal + "[script-extensions]\n.tar.gz\n", "an extension"},
        {minimal + "[settings]\npadding-threshold = 1\n", "from 2 to 4096"},
        {minimal + "[settings]\npadding-threshold = 12x\n", "from 2 to 4096"},
        {minimal + "[settings]\nwrapper-drive-label = 1\n", "yes or no"},
        {minimal + "[settings]\nspeed = 3\n", "unknown setting speed"},
        {minimal + "[interpreters]\n" + std::string(maxRulesLineBytes + 1, 'a') + "\n",
         "line 7: too long"},
        {minimal + "[interpreters]\nc\xC3md.exe\n", "not UTF-8"},
        {minimal + "[interpreters]\n\xED\xA0\x80.exe\n", "not UTF-8"},
        {std::string(maxRulesBytes + 1, '#'), "larger than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 120));
        const RulesLoad load = parseFullScanRules(c.text);
        EXPECT_FALSE(load.rules);
        EXPECT_NE(load.error.find(c.error), std::string::npos) << load.error;
    }

    std::string many = minimal + "[interpreters]\n";
    for (std::size_t i = 0; i < maxRulesEntries; ++i) {
        many += "p" + std::to_string(i) + ".exe\n";
    }
    const RulesLoad tooMany = parseFullScanRules(many);
    EXPECT_FALSE(tooMany.rules);
    EXPECT_NE(tooMany.error.find("more than 4096 entries"), std::string::npos) << tooMany.error;
}

// Line ends, a byte-order mark, comments, blanks and escapes, as editors leave them.
TEST(FullScanRules, WrittenForms) {
    const std::string text = "\xEF\xBB\xBFtarnwick-fullscan-rules 1 \r\n"
                             "# a comment\r\n"
                             "\r\n"
                             "[interpreters]\r\n"
                             "  CMD.exe\t\r\n"
                             "[candidate-extensions]\n"
                             ".LNK\n"
                             "[wrapper-folders]\n"
                             "\\u00A0\\u00a0\n"
                             "a\\\\b\n"
                             "\\u6587\\u4EF6\n"
                             "[payload-names]\n"
                             "\\#.exe\n"
                             "[argument-signs]\n"
                             "opens-folder =   Start \t Explorer  \n"
                             "remote-installer = msiexec * \\\\\\\\\n"
                             "[settings]\n"
                             "wrapper-drive-label = no\n"
                             "padding-threshold = 4096";
    const RulesLoad load = parseFullScanRules(text);
    ASSERT_TRUE(load.rules) << load.error;
    const FullScanRules& r = *load.rules;
    EXPECT_EQ(r.interpreters, std::vector<std::string>{"cmd.exe"});
    EXPECT_EQ(r.candidateExtensions, std::vector<std::string>{".lnk"});
    EXPECT_EQ(r.wrapperNames, (std::vector<std::string>{"\xC2\xA0\xC2\xA0", "a\\b", "文件"}));
    EXPECT_EQ(r.payloadPatterns, std::vector<std::string>{"#.exe"});
    ASSERT_EQ(r.argumentSigns.size(), 2u);
    EXPECT_EQ(r.argumentSigns[0].pattern, "start explorer");
    EXPECT_EQ(r.argumentSigns[1].pattern, "msiexec * \\\\");
    EXPECT_FALSE(r.wrapperDriveLabel);
    EXPECT_EQ(r.paddingThreshold, 4096u);
    EXPECT_TRUE(r.isWrapperName("文件"));
}

TEST(FullScanRules, NamePatterns) {
    struct Case {
        std::string pattern;
        std::string name;
        bool match;
    };
    const Case cases[] = {
        {"u#.vbs", "u1.vbs", true},
        {"u#.vbs", "U123456.VBS", true},
        {"u#.vbs", "u.vbs", false},
        {"u#.vbs", "u12x.vbs", false},
        {"u#.vbs", "u12.vbs.lnk", false},
        {"~*.fat32", "~WYDCNU.FAT32", true},
        {"~*.fat32", "~.fat32", true},
        {"~*.fat32", "x~a.fat32", false},
        {"*.vbe", "a.b.vbe", true},
        {"?.exe", "文.exe", true}, // one character, of any width
        {"?.exe", "ab.exe", false},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXcYYb", false},
        {"#", "", false},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchesNamePattern(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
    }
}

// The loader: a missing file, and one larger than any rules file, read no further than that.
TEST(FullScanRules, Loading) {
    test::RealFileSystem fs;
    test::TempDir dir("rules");
    const RulesLoad missing = loadFullScanRules(fs, dir / "fullscan.rules");
    EXPECT_FALSE(missing.rules);
    EXPECT_NE(missing.error.find("cannot open"), std::string::npos);

    test::writeFileOfSize(dir / "big.rules", 64ull * 1024 * 1024);
    const RulesLoad big = loadFullScanRules(fs, dir / "big.rules");
    EXPECT_FALSE(big.rules);
    EXPECT_NE(big.error.find("larger than"), std::string::npos);

    test::makeDir(dir / "folder.rules");
    EXPECT_FALSE(loadFullScanRules(fs, dir / "folder.rules").rules);
}

} // namespace
} // namespace tw
