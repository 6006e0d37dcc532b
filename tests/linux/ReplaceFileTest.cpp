#ifdef TARNWICK_HAVE_POSIX

#include "linux/PosixFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tw::test {
namespace {

mode_t modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// The working copies in the temporary folder: a file there is replaced, never written into.
class ReplaceFile : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(temp / "companion", "@echo off\r\n");
        ::chmod((temp / "companion").c_str(), 0750);
        writeFile(mine / "precious.txt", "keep me");
    }
    TempDir temp{"replace"};
    TempDir mine{"mine"};
    PosixFileSystem fs;
};

// A hard link planted under the working copy's name leads to one of the user's files.
TEST_F(ReplaceFile, HardLinkInTheWayLeavesItsOtherFileAlone) {
    for (const std::string name : {"systemset.bat", "convert.bat"}) {
        SCOPED_TRACE(name);
        std::filesystem::create_hard_link(mine / "precious.txt", temp / name);
        const bool copy = name == "systemset.bat";
        EXPECT_TRUE(copy
                        ? fs.copyFile(temp / "companion", temp / name, true)
                        : fs.writeTextLines(temp / name, {"@echo off", "convert.exe E: /fs:ntfs"}));
        EXPECT_EQ(readFile(temp / name),
                  copy ? "@echo off\r\n" : "@echo off\r\nconvert.exe E: /fs:ntfs\r\n");
        EXPECT_EQ(readFile(mine / "precious.txt"), "keep me");
    }
    EXPECT_EQ(namesIn(temp.path()),
              (std::vector<std::string>{"companion", "convert.bat", "systemset.bat"}));
}

// An earlier copy that is read-only is replaced all the same; without overwrite it stays.
TEST_F(ReplaceFile, ReadOnlyEarlierCopyAndOverwriteRefused) {
    writeFile(temp / "systemset.bat", "old copy");
    ::chmod((temp / "systemset.bat").c_str(), 0444);
    writeFile(temp / "cacls.bat", "old lines");
    ::chmod((temp / "cacls.bat").c_str(), 0444);

    EXPECT_FALSE(fs.copyFile(temp / "companion", temp / "systemset.bat", false));
    EXPECT_EQ(readFile(temp / "systemset.bat"), "old copy");

    EXPECT_TRUE(fs.copyFile(temp / "companion", temp / "systemset.bat", true));
    EXPECT_EQ(readFile(temp / "systemset.bat"), "@echo off\r\n");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf(temp / "systemset.bat"), 0750 & ~mask);

    EXPECT_TRUE(fs.writeTextLines(temp / "cacls.bat", {"echo y"}));
    EXPECT_EQ(readFile(temp / "cacls.bat"), "echo y\r\n");
    EXPECT_EQ(modeOf(temp / "cacls.bat"), 0644 & ~mask);

    // A new copy without overwrite, and a copy onto itself.
    EXPECT_TRUE(fs.copyFile(temp / "companion", temp / "fresh.bat", false));
    EXPECT_EQ(readFile(temp / "fresh.bat"), "@echo off\r\n");
    EXPECT_TRUE(fs.copyFile(temp / "fresh.bat", temp / "fresh.bat", true));
    EXPECT_EQ(readFile(temp / "fresh.bat"), "@echo off\r\n");

    EXPECT_EQ(namesIn(temp.path()),
              (std::vector<std::string>{"cacls.bat", "companion", "fresh.bat", "systemset.bat"}));
}

// The program's working files go by their exact names: a user's files named alike in another
// case are never found, replaced or deleted in their place.
TEST_F(ReplaceFile, UsersFilesInAnotherCaseAreKept) {
    for (const std::string name : {"Convert.Bat", "CACLS.BAT", "SYSTEMSET.BAT"}) {
        writeFile(temp / name, "mine");
    }
    EXPECT_FALSE(fs.fileExists(temp / "convert.bat"));
    EXPECT_FALSE(fs.deleteFile(temp / "convert.bat", true));
    EXPECT_FALSE(fs.deleteFile(temp / "cacls.bat", false));
    EXPECT_TRUE(fs.copyFile(temp / "companion", temp / "systemset.bat", true));
    EXPECT_TRUE(fs.writeTextLines(temp / "cacls.bat", {"echo y"}));
    EXPECT_TRUE(fs.deleteFile(temp / "cacls.bat", false));
    for (const std::string name : {"Convert.Bat", "CACLS.BAT", "SYSTEMSET.BAT"}) {
        EXPECT_EQ(readFile(temp / name), "mine") << name;
    }
    EXPECT_EQ(namesIn(temp.path()),
              (std::vector<std::string>{"CACLS.BAT", "Convert.Bat", "SYSTEMSET.BAT", "companion",
                                        "systemset.bat"}));
}

// What is in the way and is no plain file stays, and nothing is left behind.
TEST_F(ReplaceFile, NoPlainFileInTheWay) {
    makeDir(temp / "folder.bat");
    std::filesystem::create_symlink(mine / "precious.txt", temp / "link.bat");
    EXPECT_FALSE(fs.copyFile(temp / "companion", temp / "folder.bat", true));
    EXPECT_FALSE(fs.writeTextLines(temp / "folder.bat", {"x"}));
    EXPECT_FALSE(fs.copyFile(temp / "companion", temp / "link.bat", true));
    EXPECT_FALSE(fs.writeTextLines(temp / "link.bat", {"x"}));
    EXPECT_EQ(readFile(mine / "precious.txt"), "keep me");
    EXPECT_EQ(namesIn(temp.path()),
              (std::vector<std::string>{"companion", "folder.bat", "link.bat"}));
}

// In a shared sticky folder another user has put a world-writable file under the working
// copy's name, to swap its content before it runs. It cannot be replaced: the call fails.
TEST_F(ReplaceFile, AnotherUsersFileInAStickyFolderStays) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as two other users";
    }
    constexpr uid_t attacker = 65534;
    constexpr uid_t user = 4242;
    const std::string shared = temp / "shared";
    makeDir(shared);
    ::chmod(temp.path().c_str(), 0755);
    ::chmod(shared.c_str(), 01777);
    ::chmod((temp / "companion").c_str(), 0644);
    for (const char* name : {"systemset.bat", "convert.bat"}) {
        writeFile(shared + "/" + name, "theirs");
        ASSERT_EQ(::chown((shared + "/" + name).c_str(), attacker, attacker), 0);
        ::chmod((shared + "/" + name).c_str(), 0666);
    }

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(user) != 0 || ::setuid(user) != 0) {
            ::_exit(10);
        }
        PosixFileSystem asUser;
        const bool copied = asUser.copyFile(temp / "companion", shared + "/systemset.bat", true);
        const bool written = asUser.writeTextLines(shared + "/convert.bat", {"x"});
        ::_exit((copied ? 1 : 0) | (written ? 2 : 0));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: copied over it, 2: written over it, 10: no setuid";
    EXPECT_EQ(readFile(shared + "/systemset.bat"), "theirs");
    EXPECT_EQ(readFile(shared + "/convert.bat"), "theirs");
    EXPECT_EQ(namesIn(shared), (std::vector<std::string>{"convert.bat", "systemset.bat"}));
}

} // namespace
} // namespace tw::test

#endif
