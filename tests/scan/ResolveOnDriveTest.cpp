#include "linux/PosixFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace tw::test {
namespace {

// Where a target named in autorun.inf leads: to a path on the drive, or nowhere. The stick
// is declared removable, as it is for every scan: no ".." and no link on the way.
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
        {"Sub\\..\\x.exe", std::nullopt},
        {".\\Sub\\.\\y.exe", root + "/Sub/y.exe"},
        {stick / "x.exe", root + "/x.exe"},
        {"in.lnk", root + "/in.lnk"}, // a link on the drive is the link, not followed
        {"indir\\y.exe", std::nullopt},
        {"indir", root + "/indir"}, // the link itself, which lookup takes for a file
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
    PosixFileSystem fs("removable=" + stick.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        EXPECT_EQ(fs.resolveOnDrive(stick.path(), c.target), c.resolved);
    }
}

// A stick declared through a link to its folder is the same drive under the same rules.
TEST(ResolveOnDrive, StickDeclaredThroughALink) {
    TempDir stick("stick");
    TempDir elsewhere("elsewhere");
    const std::string root = std::filesystem::canonical(stick.path()).string();
    makeDir(stick / "Sub");
    writeFile(stick / "x.exe", "");
    writeFile(stick / "Sub/y.exe", "");
    std::filesystem::create_symlink(stick / "Sub", stick / "indir");
    const std::string declared = elsewhere / "media";
    std::filesystem::create_directory_symlink(stick.path(), declared);

    PosixFileSystem fs("removable=" + declared);
    EXPECT_EQ(fs.resolveOnDrive(declared, "X.EXE"), root + "/x.exe");
    EXPECT_EQ(fs.resolveOnDrive(declared, "sub\\y.exe"), root + "/Sub/y.exe");
    EXPECT_EQ(fs.resolveOnDrive(declared, "Sub\\..\\x.exe"), std::nullopt);
    EXPECT_EQ(fs.resolveOnDrive(declared, "indir\\y.exe"), std::nullopt);
}

} // namespace
} // namespace tw::test
