#include "support/TempDir.h"

#ifdef _WIN32
#include "win32/Win32FileSystem.h"
#else
#include "linux/PosixFileSystem.h"
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw::test {
namespace {

#ifdef _WIN32
using Backend = Win32FileSystem;
#else
using Backend = PosixFileSystem;
#endif

// The bytes of a line in autorun.inf and the text both builds read from them, through the
// backend's own text reader: UTF-8 as it is, GBK pair by pair, U+FFFD for a byte that
// starts nothing, whatever each platform's converter would do with the rest.
TEST(TextDecoding, BothBuildsReadTheSameText) {
    struct Case {
        std::string bytes;
        std::string line;
    };
    const Case cases[] = {
        {"open=病毒.exe", "open=病毒.exe"},
        {"open=\xB2\xA1\xB6\xBE.exe", "open=病毒.exe"},
        {"\xFF\xB2\xA1", "\xEF\xBF\xBD病"},
        {"a\xB2", "a\xEF\xBF\xBD"},       // a cut-off pair
        {"\xB2\x20x", "\xEF\xBF\xBD x"},  // a lead byte without its trail
        {"\xB2\x7F", "\xEF\xBF\xBD\x7F"}, // 0x7F is no trail byte
        {"\x80\xB2\xA1", "€病"},          // the one single byte 936 adds
        {"\xED\xA0\x80", "頎€"},          // an encoded surrogate is not UTF-8
        {"\xC3\xA9\xB2\xA1", "茅病"},     // mixed: the whole line is GBK
        {"\xEF\xBB\xBF\xB2\xA1", "病"},   // a byte-order mark, then GBK
    };
    TempDir dir;
    Backend fs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        writeFile(dir / "autorun.inf", c.bytes + "\r\nnext");
        auto reader = fs.openText(dir / "autorun.inf");
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->next(), c.line);
        EXPECT_EQ(reader->next(), "next");
        EXPECT_EQ(reader->next(), std::nullopt);
    }
}

} // namespace
} // namespace tw::test
