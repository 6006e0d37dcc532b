#include "scan/ScanFixture.h"
#include "scan/ShellPath.h"
#include "support/TempDir.h"

#ifdef _WIN32
#include "win32/Win32FileSystem.h"
#else
#include "linux/PosixFileSystem.h"
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace tw::test {
namespace {

#ifdef _WIN32
using Backend = Win32FileSystem;
std::string rootOf(const TempDir& stick) {
    return stick.path();
}
#else
using Backend = PosixFileSystem;
std::string rootOf(const TempDir& stick) {
    return std::filesystem::canonical(stick.path()).string();
}
#endif

// The forms of the text of an open= line, on a stick declared removable as it is for every
// scan: the file Windows would start, as the drive spells it, or nothing when it lies
// elsewhere or is not there. Resolved the way the quick scan resolves them.
TEST(ResolveOnDrive, TargetsAsWindowsOpensThem) {
    TempDir stick("stick");
    TempDir outside("outside");
    const std::string root = rootOf(stick);
    const std::string out = std::filesystem::path(outside.path()).filename().string();
    makeDir(stick / "Sub");
    writeFile(stick / "x.exe", "");
    writeFile(stick / "Sub/y.exe", "");
    writeFile(stick / "trail..", ""); // a name Windows cannot start by its own spelling
    writeFile(outside / "z.exe", "");
    const auto on = [&](const std::string& relative) { return root + native("/" + relative); };

    struct Case {
        std::string target;
        std::optional<std::string> resolved;
    };
    const Case cases[] = {
        {"x.exe", on("x.exe")},
        {"X.EXE", on("x.exe")},
        {"x.exe.", on("x.exe")},
        {"x.exe ", on("x.exe")},
        {"x.exe. . .", on("x.exe")},
        {"Sub\\y.exe", on("Sub/y.exe")},
        {"sub\\Y.EXE", on("Sub/y.exe")},
        {"Sub/y.exe", on("Sub/y.exe")},
        {"Sub.\\y.exe", on("Sub/y.exe")},
        {"Sub .\\y.exe ", on("Sub/y.exe")},
        {".\\Sub\\.\\y.exe", on("Sub/y.exe")},
        {"...\\x.exe", on("x.exe")},
        {stick / "x.exe", on("x.exe")},
        {stick / "x.exe..", on("x.exe")},
        {"trail..", std::nullopt},
        {"Sub\\..\\x.exe", std::nullopt},
        {outside / "z.exe", std::nullopt},
        {"..\\" + out + "\\z.exe", std::nullopt},
        {"Sub\\..\\..\\" + out + "\\z.exe", std::nullopt},
        {"missing.exe", std::nullopt},
        {"x.exe /s", std::nullopt},
        {"\"x.exe\"", std::nullopt},
        {"*.exe", std::nullopt},
        {"x.exe:stream", std::nullopt},
        {"Q:\\x.exe", std::nullopt},
        {"\\\\server\\share\\x.exe", std::nullopt},
        {"", std::nullopt},
        {std::string("x.exe\0.txt", 10), std::nullopt},
    };
    Backend fs("removable=" + stick.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        EXPECT_EQ(fs.resolveOnDrive(stick.path(), shellPath(c.target)), c.resolved);
    }
}

#ifndef _WIN32
// Links on the stick: the link itself when it stays on the drive, never what it leads to
// off it. (Wine's links cannot be opened as reparse points: the Win32 backend's own tests
// cover them.)
TEST(ResolveOnDrive, LinksStayOnTheDrive) {
    TempDir stick("stick");
    TempDir outside("outside");
    const std::string root = rootOf(stick);
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
        {"in.lnk", root + "/in.lnk"}, // a link on the drive is the link, not followed
        {"in.lnk.", root + "/in.lnk"},  {"indir\\y.exe", std::nullopt},
        {"indir", root + "/indir"}, // the link itself, which lookup takes for a file
        {"out.lnk", std::nullopt},      {"outdir\\z.exe", std::nullopt},
        {"dangling.lnk", std::nullopt}, {"\\etc\\passwd", std::nullopt},
    };
    Backend fs("removable=" + stick.path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        EXPECT_EQ(fs.resolveOnDrive(stick.path(), shellPath(c.target)), c.resolved);
    }
}

// A stick declared through a link to its folder is the same drive under the same rules.
TEST(ResolveOnDrive, StickDeclaredThroughALink) {
    TempDir stick("stick");
    TempDir elsewhere("elsewhere");
    const std::string root = rootOf(stick);
    makeDir(stick / "Sub");
    writeFile(stick / "x.exe", "");
    writeFile(stick / "Sub/y.exe", "");
    std::filesystem::create_symlink(stick / "Sub", stick / "indir");
    const std::string declared = elsewhere / "media";
    std::filesystem::create_directory_symlink(stick.path(), declared);

    Backend fs("removable=" + declared);
    EXPECT_EQ(fs.resolveOnDrive(declared, "X.EXE"), root + "/x.exe");
    EXPECT_EQ(fs.resolveOnDrive(declared, shellPath("sub.\\y.exe ")), root + "/Sub/y.exe");
    EXPECT_EQ(fs.resolveOnDrive(declared, "Sub\\..\\x.exe"), std::nullopt);
    EXPECT_EQ(fs.resolveOnDrive(declared, "indir\\y.exe"), std::nullopt);
}
#endif

// The quick scan removes the program Windows would start for a name with trailing dots or
// blanks, and shows the name as written.
TEST(ResolveOnDrive, QuickScanRemovesWhatWindowsWouldStart) {
    for (const std::string target : {"evil.exe.", "evil.exe ", "Sub./evil.exe . "}) {
        SCOPED_TRACE(target);
        ScanHarness h;
        const bool inFolder = target.starts_with("Sub");
        const std::string file = inFolder ? "Sub/evil.exe" : "evil.exe";
        if (inFolder) {
            makeDir(h.stick / "Sub");
        }
        writeFileOfSize(h.stick / file, 2 * 1024 * 1024);
        setAttr(h.stick / file, 38);
        writeFile(h.stick / "autorun.inf", "[autorun]\r\nopen=" + target + "\r\n");
        EXPECT_EQ(h.quickScan(),
                  cat({engineStart, inFolder ? folderScanned(h.D) : Lines{}, phase1Clean,
                       phase2Start(h.D), autorunRead, targetRemoved(target), autorunCleaned(h.D),
                       phase3Start, phase3Clean}));
        EXPECT_FALSE(exists(h.stick / file));
        EXPECT_FALSE(exists(h.stick / "autorun.inf"));
    }
}

// The text alone: what Windows makes of each name on the way.
TEST(ShellPath, NamesOnTheWay) {
    struct Case {
        const char* target;
        const char* opened;
    };
    const Case cases[] = {
        {"evil.exe", "evil.exe"},
        {"evil.exe.", "evil.exe"},
        {"evil.exe ", "evil.exe"},
        {"evil.exe . .", "evil.exe"},
        {"a /b. \\c", "a\\b\\c"},
        {"E:\\dir.\\x.exe", "E:\\dir\\x.exe"},
        {".\\x", ".\\x"},
        {"..\\x", "..\\x"},
        {"...\\x", ".\\x"},
        {"  \\x", ".\\x"},
        {"\\\\srv\\share\\x.", "\\\\srv\\share\\x"},
        {"x.exe /s", "x.exe\\s"}, // parameters are not a path: nothing by that name
        {" lead.exe", " lead.exe"},
        {"dir\\", "dir\\"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shellPath(c.target), c.opened) << c.target;
    }
}

} // namespace
} // namespace tw::test
