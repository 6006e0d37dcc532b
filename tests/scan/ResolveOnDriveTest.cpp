#include "drive/posix/PosixFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace tw::test {
namespace {

// Where a target named in autorun.inf leads: to a path on the drive, or nowhere.
TEST(ResolveOnDrive, TargetsStayOnTheDrive) {
    TempDir stick("stick");
    TempDir outside("outside");
    const std::string root = std::filesystem::canonical(stick.path()).string();
    const std::string out = std::filesystem::path(outside.path()).filename().string();
    makeDir(stick / "Sub");
    writeFile(stick / "x.exe", "");
    writeFile(stick / "Sub/y.exe", "");
    writeFile(outside / "z.exe", "");
    std::filesystem::create_symlink(outside / "z.exe", stick / "out.lnk");
    std::filesystem::create_symlink(stick / "x.exe", stick / "in.lnk");
    std::filesystem::create_symlink(outside.path(), stick / "outdir");
    std::filesystem::create_symlink(stick / "Sub", stick / "indir");
    std::filesystem::create_symlink(stick / "missing", stick / "dangling.lnk");

    struct Case {
        std::string target;
        std::optional<std::string> resolved;
    };
    const Case cases[] = {
        {"x.exe", root + "/x.exe"},
        {"X.EXE", root + "/x.exe"},
        {"Sub\\y.exe", root + "/Sub/y.exe"},
        {"sub\\Y.EXE", root + "/Sub/y.exe"},
        {"Sub/y.exe", root + "/Sub/y.exe"},
        {"Sub\\..\\x.exe", root + "/x.exe"},
        {stick / "x.exe", root + "/x.exe"},
        {"in.lnk", root + "/in.lnk"}, // a link on the drive is the link, not followed
        {"indir\\y.exe", root + "/Sub/y.exe"},
        {outside / "z.exe", std::nullopt},
        {"..\\" + out + "\\z.exe", std::nullopt},
        {"Sub\\..\\..\\" + out + "\\z.exe", std::nullopt},
        {"out.lnk", std::nullopt},
        {"outdir\\z.exe", std::nullopt},
        {"dangling.lnk", std::nullopt},
        {"missing.exe", std::nullopt},
        {"x.exe /s", std::nullopt},
        {"\"x.exe\"", std::nullopt},
        {"E:\\x.exe", std::nullopt},
        {"\\etc\\passwd", std::nullopt},
        {"", std::nullopt},
        {std::string("x.exe\0.txt", 10), std::nullopt},
    };
    PosixFileSystem fs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        EXPECT_EQ(fs.resolveOnDrive(stick.path(), c.target), c.resolved);
    }
}

} // namespace
} // namespace tw::test
