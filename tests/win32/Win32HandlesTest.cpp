#include "ports/TextLines.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32Text.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tw::test {
namespace {

// Everything below a pinned stick reached through handles: what is made, listed, looked up,
// changed and deleted, and what a lookup can and cannot tell.
TEST(Win32Handles, PinnedStickFromTopToBottom) {
    TempDir stick{"stick"};
    TempDir outside{"outside"};
    const std::string root = stick.path();
    Win32FileSystem plain("removable=" + root);
    auto pinned = plain.pinDrive(root);
    FileSystem& fs = *pinned;

    // Made relative to the held folders, names ending in dots kept.
    ASSERT_TRUE(fs.mkDir(stick / "Sub"));
    EXPECT_FALSE(fs.mkDir(stick / "Sub"));
    EXPECT_FALSE(fs.mkDir(stick / "missing/new"));
    ASSERT_TRUE(fs.mkDir(stick / "Sub/dots..."));
    ASSERT_TRUE(fs.writeTextLines(stick / "Sub/run.bat", {"@echo off"}));
    ASSERT_TRUE(fs.writeTextLines(stick / "Sub/run.bat", {"rem replaced"}));
    EXPECT_EQ(readFile(stick / "Sub/run.bat"), "rem replaced\r\n");
    EXPECT_FALSE(fs.writeTextLines(stick / "Sub/dots...", {"x"})); // a folder stays
    ASSERT_TRUE(fs.copyFile(stick / "Sub/run.bat", stick / "copy.bat", false));
    EXPECT_FALSE(fs.copyFile(stick / "Sub/run.bat", stick / "copy.bat", false));
    writeFile(stick / "virus.exe", "MZ1234");
    ASSERT_TRUE(fs.setAttributes(stick / "virus.exe", 7));

    // The listing: kind, size and attribute word with each name; no temporary left over.
    const auto listed = fs.list(root);
    ASSERT_TRUE(listed);
    std::vector<std::string> names;
    for (const EntryInfo& e : *listed) {
        names.push_back(e.name);
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.path, stick / e.name);
        if (e.name == "Sub") {
            EXPECT_EQ(e.kind, EntryKind::folder);
            EXPECT_EQ(e.attributes, keptOnFolder(16u));
        } else if (e.name == "virus.exe") {
            EXPECT_EQ(e.kind, EntryKind::file);
            EXPECT_EQ(e.size, 6u);
            EXPECT_EQ(e.attributes, keptOnFile(7u));
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Sub", "copy.bat", "virus.exe"}));
    EXPECT_FALSE(fs.list(stick / "virus.exe"));

    // What a lookup tells: absent only where the holding folder answered.
    struct Case {
        std::string path;
        Presence presence;
    };
    const Case cases[] = {
        {root, Presence::folder},
        {stick / "Sub", Presence::folder},
        {stick / "SUB/DOTS...", Presence::folder},
        {stick / "virus.exe", Presence::file},
        {stick / "missing.exe", Presence::absent},
        {stick / "missing/x.exe", Presence::absent},
        {stick / "virus.exe/x", Presence::absent},
        {stick / "Sub/dots", Presence::absent},
        {stick / "virus.exe:hidden", Presence::absent},
        {"Q:\\nothing\\x.exe", Presence::unknown},
        {outside.path(), Presence::folder}, // off the drive: looked up by path
        {outside / "x.exe", Presence::absent},
        {outside / "missing/x.exe", Presence::absent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(fs.lookup(c.path), c.presence);
    }

    // Read-only goes only with force, through the handle held.
    EXPECT_FALSE(fs.deleteFile(stick / "virus.exe", false));
    EXPECT_EQ(fs.lookup(stick / "virus.exe"), Presence::file);
    EXPECT_TRUE(fs.deleteFile(stick / "virus.exe", true));
    EXPECT_EQ(fs.lookup(stick / "virus.exe"), Presence::absent);
    EXPECT_FALSE(fs.deleteFile(stick / "Sub", true)); // a folder is no file

    // A pinned drive whose root is gone can tell nothing.
    auto gone = plain.pinDrive("Q:");
    EXPECT_EQ(gone->lookup("Q:\\x.exe"), Presence::unknown);
    EXPECT_FALSE(gone->list("Q:"));
}

// The file whose bytes were read is the file deleted: one put in its place meanwhile stays.
TEST(Win32Handles, DeleteHitsTheFileThatWasRead) {
    TempDir stick{"stick"};
    Win32FileSystem plain("removable=" + stick.path());
    auto pinned = plain.pinDrive(stick.path());
    const std::string virus = stick / "virus.exe";
    writeFile(virus, "MZ virus");

    auto reader = pinned->openRead(virus);
    ASSERT_TRUE(reader);
    reader.reset();
    removeAll(virus);
    writeFile(virus, "MZ other"); // swapped in after the copy
    EXPECT_FALSE(pinned->deleteFile(virus, true));
    EXPECT_EQ(readFile(virus), "MZ other");

    reader = pinned->openRead(virus); // read again: now that file may go
    ASSERT_TRUE(reader);
    char buffer[16];
    EXPECT_EQ(reader->read(buffer, sizeof buffer), 8u);
    reader.reset();
    EXPECT_TRUE(pinned->deleteFile(virus, true));
    EXPECT_FALSE(exists(virus));

    // A file another program holds open goes at once where the volume deletes the POSIX way;
    // otherwise it stays, with no deletion left pending on that program's handle.
    writeFile(virus, "MZ");
    const HANDLE other = ::CreateFileW(win32::apiPath(virus).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const bool deleted = pinned->deleteFile(virus, true);
    EXPECT_EQ(pinned->lookup(virus), deleted ? Presence::absent : Presence::file);
    EXPECT_EQ(deleted, !underWine()); // Wine has only the classic deletion
    ::CloseHandle(other);
    EXPECT_EQ(exists(virus), !deleted);
    EXPECT_EQ(pinned->deleteFile(virus, true), !deleted);
    EXPECT_FALSE(exists(virus));

    // A file rewritten by the program itself is no longer the one read.
    writeFile(virus, "MZ");
    ASSERT_TRUE(pinned->openRead(virus));
    ASSERT_TRUE(pinned->writeTextLines(virus, {"echo"}));
    EXPECT_TRUE(pinned->deleteFile(virus, true));
}

// A program named by its short (8.3) name is the long-named file the volume gives that
// name, spelled as the drive spells it.
TEST(Win32Handles, ShortNamesResolveToTheirFiles) {
    TempDir stick{"stick"};
    makeDir(stick / "Long Folder Name");
    writeFile(stick / "Long Folder Name/evil-program.exe", "MZ");
    wchar_t shortPath[MAX_PATH] = {};
    const std::wstring longPath = win32::widen(stick / "Long Folder Name/evil-program.exe");
    const DWORD n = ::GetShortPathNameW(longPath.c_str(), shortPath, MAX_PATH);
    const std::string shortText = win32::narrow(std::wstring(shortPath, n));
    const auto cut = shortText.find_last_of('\\');
    const std::string shortName = shortText.substr(cut + 1);
    if (n == 0 || shortName == "evil-program.exe") {
        GTEST_SKIP() << "the volume keeps no short names";
    }
    const std::string folderShort =
        shortText.substr(0, cut).substr(shortText.rfind('\\', cut - 1) + 1);
    Win32FileSystem plain("removable=" + stick.path());
    auto pinned = plain.pinDrive(stick.path());
    const std::string expected = stick / "Long Folder Name/evil-program.exe";
    EXPECT_EQ(pinned->resolveOnDrive(stick.path(), folderShort + "\\" + shortName), expected);
    EXPECT_EQ(plain.resolveOnDrive(stick.path(), "long folder name\\" + shortName), expected);
}

// autorun.inf is read to its end whatever it holds before its last line; long lines are
// cut, memory stays bounded.
TEST(Win32Handles, AutorunReadToItsEnd) {
    TempDir stick{"stick"};
    const std::string autorun = stick / "autorun.inf";
    std::string padding(20u * 1024 * 1024, ' ');
    for (std::size_t i = 1000; i < padding.size(); i += 1000) {
        padding[i] = '\n';
    }
    writeFile(autorun, "[autorun]\r\nopen=first.exe\r\n" + padding + "\r\nopen=last.exe\r\n" +
                           std::string(maxLineBytes + 10, 'x'));
    Win32FileSystem plain("removable=" + stick.path());
    auto pinned = plain.pinDrive(stick.path());
    auto reader = pinned->openText(autorun);
    ASSERT_TRUE(reader);
    std::string lastOpen;
    std::size_t longest = 0;
    while (const auto line = reader->next()) {
        if (line->rfind("open=", 0) == 0) {
            lastOpen = *line;
        }
        longest = std::max(longest, line->size());
    }
    EXPECT_EQ(lastOpen, "open=last.exe");
    EXPECT_EQ(longest, maxLineBytes);
}

} // namespace
} // namespace tw::test
