#include "linux/PosixFileSystem.h"
#include "linux/TextLineReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <string>
#include <vector>

namespace tw::test {
namespace {

std::vector<std::string> readLines(const std::string& path) {
    PosixFileSystem fs;
    auto reader = fs.openText(path);
    EXPECT_NE(reader, nullptr);
    std::vector<std::string> lines;
    if (reader) {
        while (auto line = reader->next()) {
            lines.push_back(*line);
        }
    }
    return lines;
}

using Strings = std::vector<std::string>;

TEST(LineReading, LineEndsAndEncodings) {
    struct Case {
        std::string bytes;
        Strings lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\r\n", {"a"}},
        {"a\r", {"a"}},
        {"a\r\r\n", {"a", ""}},
        {"a\n\r", {"a", ""}},
        {"\r\n\r\n", {"", ""}},
        {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
        {"open=病毒.exe\r\n", {"open=病毒.exe"}},             // UTF-8 as it is
        {"open=\xB2\xA1\xB6\xBE.exe\r\n", {"open=病毒.exe"}}, // GBK
        {"\xFF\xB2\xA1\r\n", {"\xEF\xBF\xBD病"}},             // neither: U+FFFD
        {"a\xB2", {"a\xEF\xBF\xBD"}},                         // a cut-off pair
        {"\xED\xA0\x80", {"頎€"}}, // an encoded surrogate is not UTF-8: read as GBK
        {"\xEF\xBB\xBFopen=a.exe\r\n", {"open=a.exe"}},     // a byte-order mark is skipped
        {"\xEF\xBB\xBFopen=\xB2\xA1.exe", {"open=病.exe"}}, // also before GBK
        {"\xEF\xBB\xBF", {}},
        {"a\n\xEF\xBB\xBF", {"a", "\xEF\xBB\xBF"}}, // only at the start
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        writeFile(dir / "autorun.inf", c.bytes);
        EXPECT_EQ(readLines(dir / "autorun.inf"), c.lines);
    }
}

// Lines are cut at 64 KiB; a CR LF split over two reads is one line end.
TEST(LineReading, LongLinesAndBufferEdges) {
    TempDir dir;
    writeFile(dir / "long", std::string(70'000, 'x') + "\nopen=a\r\n");
    EXPECT_EQ(readLines(dir / "long"), (Strings{std::string(65'536, 'x'), "open=a"}));

    writeFile(dir / "edge", std::string(65'535, 'x') + "\r\ny");
    EXPECT_EQ(readLines(dir / "edge"), (Strings{std::string(65'535, 'x'), "y"}));
}

// A giant file without line ends gives one cut line; a line after 20 MiB of padding is read.
TEST(LineReading, GiantFileIsReadToItsEndInBoundedMemory) {
    TempDir dir;
    writeFileOfSize(dir / "autorun.inf", 200ull * 1024 * 1024);
    EXPECT_EQ(readLines(dir / "autorun.inf"), (Strings{std::string(65'536, '\0')}));

    writeFileOfSize(dir / "padded.inf", 20ull * 1024 * 1024);
    std::ofstream(dir / "padded.inf", std::ios::binary | std::ios::app) << "\r\nopen=late.exe\r\n";
    EXPECT_EQ(readLines(dir / "padded.inf"), (Strings{std::string(65'536, '\0'), "open=late.exe"}));
}

TEST(LineReading, OnlyRegularFilesAreOpened) {
    TempDir dir;
    writeFile(dir / "real.inf", "open=a\r\n");
    std::filesystem::create_symlink(dir / "real.inf", dir / "link.inf");
    ASSERT_EQ(::mkfifo((dir / "fifo.inf").c_str(), 0600), 0);
    PosixFileSystem fs;
    EXPECT_EQ(fs.openText(dir / "link.inf"), nullptr);
    EXPECT_EQ(fs.openText(dir / "fifo.inf"), nullptr);
    EXPECT_EQ(fs.openText(dir / "missing.inf"), nullptr);
    EXPECT_EQ(posix::openTextLineReader(dir / "fifo.inf"), nullptr); // no wait for a writer
    EXPECT_EQ(posix::openTextLineReader(dir / "link.inf"), nullptr);
}

} // namespace
} // namespace tw::test
