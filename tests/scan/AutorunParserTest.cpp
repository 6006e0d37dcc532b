#include "scan/AutorunParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw {
namespace {

// Each line fed after a first "open=before" line, and the target it leaves.
TEST(AutorunParser, SingleLines) {
    struct Case {
        std::string line;
        std::string target;
    };
    const Case cases[] = {
        {"open=recycler\\x.exe", "recycler\\x.exe"},
        {"Open=a.exe", "a.exe"},
        {"open = a.exe", "= a.exe"},
        {"OPEN=a.exe", "before"},
        {"oPen=a.exe", "before"},
        {"open=a.exe /s", "a.exe /s"},
        {"shellexecute=a.exe", "before"},
        {"shell\\open\\command=a.exe", "before"},
        {"icon=a.ico", "before"},
        {" open=a.exe", "before"},
        {"\topen=a.exe", "before"},
        {"open=\"a.exe\" ", "\"a.exe\" "},
        {"open", "before"},
        {"Open", "before"},
        {"open=", ""},
        {"openXa.exe", "a.exe"},
        {"open:", ""},
        {"ope", "before"},
        {"", "before"},
        {"[autorun]", "before"},
        {"open中a.exe", "a.exe"}, // the fifth character is one character, of any width
        {"open=病毒.exe", "病毒.exe"},
        {"open\xF0\x9F\x98\x80x", "x"},
        {std::string("open=a\0b", 8), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        AutorunParser parser;
        parser.feed("open=before");
        parser.feed(c.line);
        EXPECT_EQ(parser.target(), c.target);
    }
}

TEST(AutorunParser, WholeFiles) {
    struct Case {
        std::vector<std::string> lines;
        std::string target;
    };
    const Case cases[] = {
        {{}, ""},
        {{"[autorun]", "icon=x.ico"}, ""},
        {{"[autorun]", "open=first.exe", "[other]", "Open=second.exe", "icon=x"}, "second.exe"},
        {{"open=first.exe", "open"}, "first.exe"},
        {{"open=first.exe", "open="}, ""},
        {{"open=first.exe", "OPEN=second.exe"}, "first.exe"},
    };
    for (const Case& c : cases) {
        AutorunParser parser;
        for (const std::string& line : c.lines) {
            parser.feed(line);
        }
        EXPECT_EQ(parser.target(), c.target);
    }
}

} // namespace
} // namespace tw
