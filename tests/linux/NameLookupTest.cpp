#ifdef TARNWICK_HAVE_POSIX

#include "linux/PosixFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {
namespace {

std::vector<std::string> names(const std::optional<std::vector<Entry>>& entries) {
    std::vector<std::string> out;
    if (entries) {
        for (const Entry& e : *entries) {
            out.push_back(e.name);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

class NameLookup : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(stick / "AUTORUN.INF", "[autorun]\r\n");
        makeDir(stick / "Photos");
        writeFile(stick / "Photos/Inner.txt", "x");
        writeFile(stick / "Photos.EXE", "MZ");
        writeFile(stick / "readme.txt", "old");
        writeFile(stick / "Dup.txt", "lower");
        writeFile(stick / "DUP.TXT", "upper");
        writeFile(stick / "ÄBC.txt", "x");
        writeFile(stick / "ПРИВЕТ.txt", "x");
        writeFile(stick / "ＡＢＣ.txt", "x");
        writeFile(stick / "a.b.c", "x");
        writeFile(stick / "name.", "x");
    }
    TempDir stick{"names"};
    PosixFileSystem fs{"removable=" + stick.path()};
};

// The exact name first, else the entry equal to it ignoring letter case.
TEST_F(NameLookup, FindsEntriesAsWindowsWould) {
    struct Case {
        const char* asked;
        const char* found; // nullptr: not found
    };
    const std::vector<Case> cases = {
        {"autorun.inf", "AUTORUN.INF"},
        {"AUTORUN.INF", "AUTORUN.INF"},
        {"Autorun.Inf", "AUTORUN.INF"},
        {"photos", "Photos"},
        {"PHOTOS/", "Photos"},
        {"PHOTOS//", "Photos"},
        {"photos.exe", "Photos.EXE"},
        {"photos/inner.TXT", "Photos/Inner.txt"},
        {"Dup.txt", "Dup.txt"},
        {"dup.txt", "DUP.TXT"}, // two candidates: the first in byte order, every time
        {"äbc.TXT", "ÄBC.txt"},
        {"привет.TXT", "ПРИВЕТ.txt"},
        {"ａｂｃ.TXT", "ＡＢＣ.txt"},
        {"abc.txt", nullptr}, // full-width letters are other letters
        {"A.B.C", "a.b.c"},
        {"name.", "name."},
        {"name", nullptr}, // trailing dots are part of the name
        {"readme.txt.", nullptr},
        {"missing/readme.txt", nullptr},
        {"Photos.EXE/inner.txt", nullptr},
    };
    for (const auto& c : cases) {
        const auto found = fs.findEntry(stick / c.asked);
        if (c.found == nullptr) {
            EXPECT_EQ(found, std::nullopt) << c.asked;
        } else {
            EXPECT_EQ(found, stick / c.found) << c.asked;
        }
    }
    EXPECT_TRUE(fs.fileExists(stick / "autorun.inf"));
    EXPECT_FALSE(fs.folderExists(stick / "autorun.inf"));
    EXPECT_TRUE(fs.folderExists(stick / "photos/"));
    EXPECT_FALSE(fs.fileExists(stick / "photos"));
    EXPECT_TRUE(fs.folderExists(stick.path() + "/"));
}

// What a lookup tells, the same through the drive's pinned view and without it; once the
// drive's root is gone, nothing is absent any more: nothing can be told.
TEST_F(NameLookup, PresenceTellsAMissingNameFromADriveThatCannotAnswer) {
    ASSERT_EQ(::symlink("/etc", (stick / "link").c_str()), 0);
    struct Case {
        const char* asked;
        Presence found;
    };
    const Case cases[] = {
        {"", Presence::folder},
        {"autorun.inf", Presence::file},
        {"PHOTOS/", Presence::folder},
        {"photos/inner.TXT", Presence::file},
        {"link", Presence::file}, // never followed
        {"nothing.txt", Presence::absent},
        {"Photos/nothing", Presence::absent},
        {"missing/readme.txt", Presence::absent},
        {"readme.txt/below", Presence::absent},
        {"link/passwd", Presence::absent},
    };
    const auto pinned = fs.pinDrive(stick.path());
    for (FileSystem* view : {static_cast<FileSystem*>(&fs), pinned.get()}) {
        for (const Case& c : cases) {
            EXPECT_EQ(view->lookup(stick / c.asked), c.found)
                << c.asked << (view == &fs ? "" : " (pinned)");
        }
    }
    removeAll(stick.path());
    for (FileSystem* view : {static_cast<FileSystem*>(&fs), pinned.get()}) {
        for (const char* asked : {"", "autorun.inf", "nothing.txt", "Photos/nothing"}) {
            EXPECT_EQ(view->lookup(stick / asked), Presence::unknown)
                << asked << (view == &fs ? "" : " (pinned)");
        }
    }
}

TEST_F(NameLookup, ChangesGoToTheEntryFoundIgnoringCase) {
    // A file named AUTORUN.INF is in the way of a folder autorun.inf.
    EXPECT_FALSE(fs.mkDir(stick / "autorun.inf"));
    EXPECT_TRUE(fs.deleteFile(stick / "autorun.inf", true));
    EXPECT_FALSE(exists(stick / "AUTORUN.INF"));
    EXPECT_TRUE(fs.mkDir(stick / "autorun.inf"));
    EXPECT_FALSE(fs.mkDir(stick / "AUTORUN.INF"));

    EXPECT_TRUE(fs.writeTextLines(stick / "README.TXT", {"new", "lines"}));
    EXPECT_EQ(readFile(stick / "readme.txt"), "new\r\nlines\r\n");
    EXPECT_FALSE(exists(stick / "README.TXT"));

    writeFile(stick / "source.bin", "copied");
    EXPECT_FALSE(fs.copyFile(stick / "source.bin", stick / "README.txt", false));
    EXPECT_TRUE(fs.copyFile(stick / "SOURCE.BIN", stick / "README.txt", true));
    EXPECT_EQ(readFile(stick / "readme.txt"), "copied");

    EXPECT_TRUE(fs.mkDir(stick / "PHOTOS/new"));
    EXPECT_TRUE(exists(stick / "Photos/new"));
    EXPECT_FALSE(fs.mkDir(stick / "nowhere/new"));
    EXPECT_EQ(fs.fileLen(stick / "dup.txt"), 5u);
}

// Where the kernel already matches names ignoring case, an exact miss is final and the
// folder is not read; elsewhere the folder is searched.
TEST(KernelCaseMatching, ByFileSystemOptionsAndName) {
    const std::string desktop =
        "rw,relatime,uid=1000,fmask=0022,codepage=437,iocharset=utf8,shortname=mixed,errors=ro";
    struct Case {
        unsigned long type;
        std::string options;
        std::string name;
        bool final;
    };
    const std::vector<Case> cases = {
        {posix::fatSuperMagic, desktop, "Photos.exe", true},
        {posix::fatSuperMagic, desktop, "照片.exe", true}, // CJK has no case
        {posix::fatSuperMagic, desktop, "Äpfel.exe", false},
        {posix::fatSuperMagic, desktop, "äpfel.exe", false},
        {posix::fatSuperMagic, desktop, "Привет.exe", false},
        {posix::fatSuperMagic, desktop, "ＡＢＣ.exe", false},
        {posix::fatSuperMagic, desktop, "\xC3.exe", true}, // not UTF-8: bytes stay bytes
        {posix::fatSuperMagic, "rw,check=s", "Photos.exe", false},
        {posix::fatSuperMagic, "rw,nocase", "Photos.exe", false},
        {posix::fatSuperMagic, "rw,check=r", "Photos.exe", true},
        {posix::exfatSuperMagic, "", "Äpfel.exe", true},
        {posix::exfatSuperMagic, "rw,iocharset=utf8", "Привет.exe", true},
        {0xEF53, "", "Photos.exe", false},              // ext4
        {0x01021994, "", "Photos.exe", false},          // tmpfs
        {0x65735546, "", "Photos.exe", false},          // FUSE: ntfs-3g, whatever its options
        {0x7366746e, "rw,nocase", "Photos.exe", false}, // ntfs3
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kernelMatchesIgnoringCase({c.type, c.options}, c.name), c.final)
            << std::hex << c.type << " " << c.options << " " << c.name;
    }
}

// A stick whose file system is said to be FAT: an ASCII name that the kernel did not find
// is not searched for (on a real FAT stick the kernel would have found photos.exe itself).
TEST(KernelCaseMatching, ExactMissOnFatIsFinalForAsciiNames) {
    TempDir stick{"fat"};
    writeFile(stick / "Photos.EXE", "MZ");
    writeFile(stick / "ÄBC.txt", "x");
    writeFile(stick / "readme.txt", "old");
    MountSource source;
    std::vector<std::string> asked;
    source.roots.volumeOfFolder = [&](const std::string& folder) {
        asked.push_back(folder);
        return std::optional<posix::FolderVolume>({posix::fatSuperMagic, "rw,utf8"});
    };
    PosixFileSystem fs("removable=" + stick.path(), source);

    EXPECT_EQ(fs.findEntry(stick / "Photos.EXE"), stick / "Photos.EXE");
    EXPECT_EQ(fs.findEntry(stick / "photos.exe"), std::nullopt);
    EXPECT_EQ(fs.findEntry(stick / "äbc.TXT"), stick / "ÄBC.txt");
    EXPECT_EQ(asked, (std::vector<std::string>{stick.path(), stick.path()}));
    // A new file goes under its own name, the kernel having found no other.
    EXPECT_TRUE(fs.writeTextLines(stick / "README.TXT", {"new"}));
    EXPECT_EQ(readFile(stick / "readme.txt"), "old");
    EXPECT_EQ(readFile(stick / "README.TXT"), "new\r\n");
}

class Links : public ::testing::Test {
protected:
    void SetUp() override {
        makeDir(outside / "x");
        writeFile(outside / "file.txt", "keep");
        std::filesystem::create_directory_symlink(outside.path(), stick / "autorun.inf");
        std::filesystem::create_symlink(outside / "file.txt", stick / "notes.txt");
    }
    TempDir stick{"links"};
    TempDir outside{"outside"};
    PosixFileSystem fs{"removable=" + stick.path()};
};

// A crafted stick whose autorun.inf leads somewhere else: nothing there is read or changed.
TEST_F(Links, AreFilesAndNeverAWayOffTheDrive) {
    const std::string link = stick / "autorun.inf";
    EXPECT_TRUE(fs.fileExists(link));
    EXPECT_FALSE(fs.folderExists(link));
    EXPECT_FALSE(fs.folderExists(link + "/x"));
    EXPECT_FALSE(fs.folderExists(stick / "AUTORUN.INF/x"));
    EXPECT_FALSE(fs.fileExists(link + "/file.txt"));
    EXPECT_EQ(fs.attributes(link), 32u);
    EXPECT_EQ(fs.attributes(link + "/file.txt"), std::nullopt);

    EXPECT_FALSE(fs.mkDir(link + "/Velmora免疫文件夹.../"));
    EXPECT_FALSE(fs.setAttributes(link, 7));
    EXPECT_FALSE(fs.writeTextLines(link + "/evil.bat", {"x"}));
    EXPECT_FALSE(fs.copyFile(stick / "notes.txt", link + "/copy.txt", true));
    EXPECT_FALSE(fs.deleteFile(link + "/file.txt", true));
    EXPECT_FALSE(fs.subFolders(link));

    EXPECT_EQ(names(fs.subFolders(stick.path())), std::vector<std::string>{});
    EXPECT_EQ(names(fs.files(stick.path())),
              (std::vector<std::string>{"autorun.inf", "notes.txt"}));

    // Deleting a link removes the link only.
    EXPECT_TRUE(fs.deleteFile(stick / "notes.txt", true));
    EXPECT_TRUE(fs.deleteFile(link, true));
    EXPECT_FALSE(exists(link));
    EXPECT_EQ(readFile(outside / "file.txt"), "keep");
    EXPECT_EQ(names(fs.subFolders(outside.path())), std::vector<std::string>{"x"});
    EXPECT_EQ(getAttr(outside.path()), 16u);
}

// A drive declared through a link is still that drive.
TEST_F(Links, DriveRootGivenAsALinkIsFollowed) {
    TempDir elsewhere{"root-link"};
    const std::string root = elsewhere / "stick";
    std::filesystem::create_directory_symlink(outside.path(), root);
    PosixFileSystem declared("removable=" + root);
    EXPECT_TRUE(declared.folderExists(root));
    EXPECT_EQ(declared.attributes(root), 16u);
    EXPECT_TRUE(declared.setAttributes(root, 22));
    EXPECT_EQ(getAttr(outside.path()), 22u);
    EXPECT_EQ(names(declared.subFolders(root)), std::vector<std::string>{"x"});
    EXPECT_FALSE(declared.deleteFile(root, true));
    EXPECT_TRUE(declared.mkDir(root + "/autorun.inf"));
    EXPECT_TRUE(declared.folderExists(outside / "autorun.inf"));
}

// Away from removable drives (the temporary folder) paths are taken as the system gives them.
TEST_F(Links, FoldersOffTheDrivesMayBeReachedThroughLinks) {
    TempDir temp{"temp-link"};
    std::filesystem::create_directory_symlink(outside.path(), temp / "tmp");
    EXPECT_TRUE(fs.writeTextLines(temp / "tmp/convert.bat", {"echo"}));
    EXPECT_EQ(readFile(outside / "convert.bat"), "echo\r\n");
}

} // namespace
} // namespace tw::test

#endif
