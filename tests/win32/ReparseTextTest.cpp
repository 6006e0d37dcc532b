#include "win32/Win32Reparse.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tw::test {
namespace {

void putLittle(std::string& out, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::string utf16(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) {
        putLittle(out, c, 2);
    }
    return out;
}

// The bytes the system returns for a symbolic link (flags word) or a junction (none):
// substitute name first, then the name shown.
std::string linkBytes(std::uint32_t tag, const std::u16string& substitute,
                      const std::u16string& shown) {
    const std::string names = utf16(substitute) + utf16(shown);
    std::string data;
    putLittle(data, 0, 2);
    putLittle(data, static_cast<std::uint32_t>(substitute.size() * 2), 2);
    putLittle(data, static_cast<std::uint32_t>(substitute.size() * 2), 2);
    putLittle(data, static_cast<std::uint32_t>(shown.size() * 2), 2);
    if (tag == 0xA000000C) {
        putLittle(data, 1, 4); // relative
    }
    data += names;
    std::string out;
    putLittle(out, tag, 4);
    putLittle(out, static_cast<std::uint32_t>(data.size()), 2);
    putLittle(out, 0, 2);
    return out + data;
}

TEST(ReparseText, LinkTextFromTheSystemsBytes) {
    const std::string symlink = linkBytes(0xA000000C, u"\\??\\C:\\x.exe", u"C:\\x.exe");
    std::string wsl;
    putLittle(wsl, 0xA000001D, 4);
    putLittle(wsl, 4 + 9, 2);
    putLittle(wsl, 0, 2);
    putLittle(wsl, 2, 4);
    wsl += "/dev/zero";
    std::string dedup;
    putLittle(dedup, 0x80000013, 4);
    putLittle(dedup, 0, 4);

    struct Case {
        const char* label;
        std::string bytes;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"symbolic link", symlink, "C:\\x.exe"},
        {"relative link", linkBytes(0xA000000C, u"..\\病毒.exe", u"..\\病毒.exe"), "..\\病毒.exe"},
        {"junction", linkBytes(0xA0000003, u"\\??\\D:\\Photos", u"D:\\Photos"), "D:\\Photos"},
        {"nothing shown", linkBytes(0xA0000003, u"\\??\\D:\\Photos", u""), "D:\\Photos"},
        {"WSL link", wsl, "/dev/zero"},
        {"other tag", dedup, std::nullopt},
        {"no names", linkBytes(0xA000000C, u"", u""), std::nullopt},
        {"cut short", symlink.substr(0, symlink.size() - 2), std::nullopt},
        {"header only", symlink.substr(0, 8), std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(win32::reparseLinkText(c.bytes), c.text);
    }
}

} // namespace
} // namespace tw::test
