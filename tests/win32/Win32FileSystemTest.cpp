#include "win32/Win32FileSystem.h"
#include "win32/Win32Host.h"
#include "win32/Win32Text.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tw::test {
namespace {

const std::string guardName = "Velmora免疫文件夹...";

// The drive letters the CI step maps (a removable and a fixed one), else nothing.
std::string declaredLetter(const char* type) {
    const char* drives = std::getenv("TARNWICK_TEST_DRIVES");
    const std::string text = drives != nullptr ? drives : "";
    const auto at = text.find(std::string(type) + "=");
    return at == std::string::npos ? std::string() : text.substr(at + std::strlen(type) + 1, 2);
}

// Drive letters, their types one lower than GetDriveTypeW's, readiness and file system; a
// letter without a medium is never ready; a drive path has no trailing backslash.
TEST(Win32FileSystem, DriveLettersTypesAndReadiness) {
    EXPECT_EQ(driveTypeOfWin32(DRIVE_REMOVABLE), drivetype::removable);
    EXPECT_EQ(driveTypeOfWin32(DRIVE_FIXED), drivetype::fixed);
    EXPECT_EQ(driveTypeOfWin32(DRIVE_REMOTE), drivetype::network);
    EXPECT_EQ(driveTypeOfWin32(DRIVE_CDROM), drivetype::cdrom);
    EXPECT_EQ(driveTypeOfWin32(DRIVE_RAMDISK), drivetype::ramDisk);
    EXPECT_EQ(driveTypeOfWin32(DRIVE_NO_ROOT_DIR), drivetype::unknown);
    const std::string removable = declaredLetter("removable");
    const std::string fixed = declaredLetter("fixed");
    if (removable.empty() || fixed.empty()) {
        GTEST_SKIP() << "no drive letters mapped for this run (TARNWICK_TEST_DRIVES)";
    }
    Win32FileSystem fs;
    const auto drives = fs.drives();
    const auto find = [&](const std::string& path) {
        return std::find_if(drives.begin(), drives.end(),
                            [&](const Drive& d) { return d.path == path; });
    };
    ASSERT_NE(find(removable), drives.end());
    ASSERT_NE(find(fixed), drives.end());
    EXPECT_EQ(find(removable)->type, drivetype::removable);
    EXPECT_EQ(find(fixed)->type, drivetype::fixed);
    EXPECT_TRUE(std::is_sorted(drives.begin(), drives.end(),
                               [](const Drive& a, const Drive& b) { return a.path < b.path; }));
    EXPECT_TRUE(fs.isReady(*find(removable)));
    EXPECT_FALSE(fs.fileSystemName(*find(removable)).empty());
    EXPECT_FALSE(fs.isReady(Drive{"Q:", drivetype::removable, "letter:Q:"}));
}

// One stick from immunization to cleaning, through the real letter where one is mapped:
// the guard folder's dots kept, attribute words whole, a batch file in the ANSI code page,
// read-only refused without force, and a pinned view that works below its root only.
TEST(Win32FileSystem, ImmunizedStickThroughAPinnedDrive) {
    TempDir folder{"win32"};
    std::string root = declaredLetter("removable");
    std::unique_ptr<Win32FileSystem> plain;
    if (root.empty()) {
        root = folder.path();
        plain = std::make_unique<Win32FileSystem>("removable=" + root);
    } else {
        plain = std::make_unique<Win32FileSystem>();
    }
    const std::string a = root + "\\autorun.inf";
    const std::string guard = a + "\\" + guardName;
    auto pinned = plain->pinDrive(root);
    FileSystem& fs = *pinned;
    EXPECT_EQ(fs.separator(), '\\');

    ASSERT_TRUE(fs.mkDir(a));
    ASSERT_TRUE(fs.mkDir(guard + "\\")); // a trailing backslash is allowed
    EXPECT_FALSE(fs.mkDir(guard));
    EXPECT_TRUE(fs.folderExists(guard));
    EXPECT_FALSE(fs.fileExists(guard));
    EXPECT_FALSE(fs.folderExists(a + "\\Velmora免疫文件夹")); // the dots are part of the name
    const auto sub = fs.subFolders(a);
    ASSERT_TRUE(sub);
    ASSERT_EQ(sub->size(), 1u);
    EXPECT_EQ((*sub)[0].name, guardName);
    EXPECT_EQ((*sub)[0].path, guard);
    ASSERT_TRUE(fs.setAttributes(a, 7));
    EXPECT_EQ(fs.attributes(a), keptOnFolder(23u)); // the directory bit follows the object
    EXPECT_EQ(fs.attributes(guard), attr::directory);

    // A file's word read and written whole; read-only refused without force.
    const std::string virus = root + "\\病毒.exe";
    writeFile(virus, "MZ");
    ASSERT_TRUE(fs.setAttributes(virus, 39));
    EXPECT_EQ(fs.attributes(virus), 39u);
    EXPECT_EQ(fs.fileLen(virus), 2u);
    const auto files = fs.files(root);
    ASSERT_TRUE(files);
    EXPECT_EQ(files->size(), 1u);
    EXPECT_FALSE(fs.deleteFile(virus, false));
    EXPECT_TRUE(fs.fileExists(virus));
    EXPECT_TRUE(fs.deleteFile(virus, true));
    EXPECT_FALSE(fs.fileExists(virus));

    // Lines in the ANSI code page with CR LF, read back through the line reader.
    const std::string batch = folder.path() + "\\cacls.bat";
    ASSERT_TRUE(fs.writeTextLines(batch, {"@echo off", "rem 免疫"}));
    const std::string bytes = readFile(batch);
    EXPECT_EQ(bytes.substr(0, 11), "@echo off\r\n");
    if (::GetACP() == 936) {
        EXPECT_EQ(bytes.substr(11), "rem \xC3\xE2\xD2\xDF\r\n");
    }
    auto reader = fs.openText(batch);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->next(), "@echo off");
    EXPECT_EQ(reader->next(), "rem 免疫");
    EXPECT_EQ(reader->next(), std::nullopt);

    // Names in autorun.inf resolve on the drive only.
    writeFile(root + "\\setup.exe", "MZ");
    EXPECT_EQ(fs.resolveOnDrive(root, "SETUP.EXE"), root + "\\setup.exe"); // as spelled there
    EXPECT_EQ(fs.resolveOnDrive(root, ".\\autorun.inf\\..\\setup.exe"), std::nullopt);
    EXPECT_EQ(fs.resolveOnDrive(root, "C:\\windows\\notepad.exe"), std::nullopt);
    EXPECT_TRUE(fs.deleteFile(root + "\\setup.exe", true));

    // The access rule is left to cacls.bat; a fresh folder's list does not deny everyone.
    EXPECT_FALSE(fs.denyEveryone(a));
    EXPECT_FALSE(fs.deniesEveryone(a));

    // A drive whose root cannot be opened: every call on it fails.
    auto missing = plain->pinDrive("Q:");
    EXPECT_FALSE(missing->folderExists("Q:"));
    EXPECT_FALSE(missing->mkDir("Q:\\autorun.inf"));
    EXPECT_TRUE(missing->folderExists(folder.path())); // elsewhere: the outside file system

    ASSERT_TRUE(fs.setAttributes(a, 16));
    removeAll(a);
}

// A reparse point below a removable drive is a file and is never followed: nothing is
// listed, made or deleted through it, and deleting it removes the link alone.
TEST(Win32FileSystem, ReparsePointIsNotFollowed) {
    TempDir stick{"stick"};
    TempDir outside{"outside"};
    writeFile(outside / "keep.exe", "MZ");
    const std::string link = stick / "link";
    if (!::CreateSymbolicLinkW(win32::apiPath(link).c_str(), win32::apiPath(outside.path()).c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY)) {
        GTEST_SKIP() << "no symbolic links here (error " << ::GetLastError() << ")";
    }
    Win32FileSystem plain("removable=" + stick.path());
    auto pinned = plain.pinDrive(stick.path());
    for (FileSystem* fs : {static_cast<FileSystem*>(&plain), pinned.get()}) {
        EXPECT_FALSE(fs->folderExists(link));
        // Wine refuses to open its links as reparse points: they then fail closed.
        if (!underWine()) {
            EXPECT_TRUE(fs->fileExists(link));
            EXPECT_EQ(fs->attributes(link), attr::archive);
        }
        EXPECT_FALSE(fs->fileExists(link + "\\keep.exe"));
        EXPECT_FALSE(fs->mkDir(link + "\\new"));
        EXPECT_FALSE(fs->deleteFile(link + "\\keep.exe", true));
        EXPECT_EQ(fs->subFolders(stick.path())->size(), 0u);
    }
    EXPECT_EQ(pinned->deleteFile(link, true), !underWine());
    EXPECT_TRUE(exists(outside / "keep.exe"));
}

// The host: the temporary folder without its trailing backslash, the program's own name,
// one instance per session, a batch file started hidden by its quoted path.
TEST(Win32Host, FoldersInstanceAndBatchStart) {
    Win32Host host;
    const std::string temp = host.tempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_NE(temp.back(), '\\');
    EXPECT_EQ(host.programName(), "win32_tests");
    EXPECT_TRUE(host.canStartBatchFiles());
    EXPECT_FALSE(host.previousInstance());
    Win32Host second;
    EXPECT_TRUE(second.previousInstance());

    TempDir folder{"批处理 folder"};
    const std::string done = folder / "done.txt";
    Win32FileSystem fs;
    ASSERT_TRUE(fs.writeTextLines(folder / "run me.bat",
                                  {"@echo off", "echo ok> \"" + done + "\"", "del \"%~f0\""}));
    ASSERT_TRUE(host.startBatchFile(folder / "run me.bat"));
    // The batch file runs on its own: its end is awaited by the changes it makes to the
    // folder (no polling), 20 changes at most.
    const HANDLE changes = ::FindFirstChangeNotificationW(win32::apiPath(folder.path()).c_str(),
                                                          FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_NE(changes, INVALID_HANDLE_VALUE);
    for (int i = 0; i < 20 && !(exists(done) && !exists(folder / "run me.bat")); ++i) {
        if (::WaitForSingleObject(changes, 10000) != WAIT_OBJECT_0 ||
            !::FindNextChangeNotification(changes)) {
            break;
        }
    }
    ::FindCloseChangeNotification(changes);
    EXPECT_EQ(readFile(done), "ok\r\n");
    EXPECT_FALSE(exists(folder / "run me.bat"));
    EXPECT_FALSE(host.startBatchFile(folder / "missing.bat"));
}

} // namespace
} // namespace tw::test
