#include "ports/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace tw::test {
namespace {

// Bytes the rules file, the line decoder and the link parser must accept or refuse alike.
TEST(Utf8, ValidityAtTheEdgesOfEachForm) {
    const struct {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"autorun.inf", true},
        {"\xC2\xA0", true},                 // U+00A0
        {"\xE4\xB8\xAD\xE6\x96\x87", true}, // two CJK characters
        {"\xF0\x9F\x98\x80", true},         // U+1F600
        {"\xF4\x8F\xBF\xBF", true},         // U+10FFFF
        {"\xC0\xAF", false},                // overlong '/'
        {"\xE0\x80\xAF", false},            // overlong '/'
        {"\xF0\x80\x80\xAF", false},        // overlong '/'
        {"\xED\xA0\x80", false},            // a surrogate
        {"\xF4\x90\x80\x80", false},        // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", false},    // five-byte form
        {"\x80", false},                    // a lone continuation byte
        {"a\xE4\xB8", false},               // cut off at the end
        {"\xE4\x41\xAD", false},            // broken continuation
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
    }
}

TEST(Utf8, StepsAppendsAndCollapses) {
    const std::string text = "a\xE4\xB8\xAD\x80\xF0\x9F\x98";
    EXPECT_EQ(utf8Length(text, 0), 1u);
    EXPECT_EQ(utf8Length(text, 1), 3u);
    EXPECT_EQ(utf8Length(text, 4), 0u); // a lone continuation byte
    EXPECT_EQ(utf8Length(text, 5), 0u); // cut off at the end

    std::string out;
    for (const char32_t c : {U'A', U'\u00A0', U'\u4E2D', U'\U0001F600', U'\U0010FFFF'}) {
        appendUtf8(out, c);
    }
    EXPECT_EQ(out, "A\xC2\xA0\xE4\xB8\xAD\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");

    EXPECT_EQ(lowerAsciiText("AutoRun.INF \xC3\x84"), "autorun.inf \xC3\x84");
    EXPECT_EQ(collapsedLower("  Start\t\r\nExplorer  \f /C  "), "start explorer /c");
    EXPECT_EQ(collapsedLower(" \t\v "), "");
}

} // namespace
} // namespace tw::test
