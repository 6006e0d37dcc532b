#ifdef TARNWICK_HAVE_POSIX

#include "drive/posix/PosixFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace tw::test {
namespace {

int run(const std::string& command) {
    return std::system(("PATH=\"$PATH:/usr/sbin:/sbin\" " + command + " >/dev/null 2>&1").c_str());
}

// A 16 MB NTFS image mounted through ntfs-3g, as a stick formatted on Windows would be.
class NtfsVolume : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string image = dir / "ntfs.img";
        makeDir(mountPoint);
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            GTEST_SKIP() << "\n*** NTFS TESTS NOT RUN: /dev/fuse is missing or not usable. ***\n"
                            "*** Run as root on a machine with FUSE to test the NTFS layer. ***";
        }
        if (run("truncate -s 16M '" + image + "'") != 0 ||
            run("mkntfs -F -Q '" + image + "'") != 0) {
            GTEST_SKIP() << "\n*** NTFS TESTS NOT RUN: mkntfs failed or is missing "
                            "(apt-get install ntfs-3g). ***";
        }
        if (run("ntfs-3g '" + image + "' '" + mountPoint + "'") != 0) {
            GTEST_SKIP() << "\n*** NTFS TESTS NOT RUN: ntfs-3g could not mount the image "
                            "(needs root and FUSE). ***";
        }
        m_mounted = true;
    }
    void TearDown() override {
        if (m_mounted && run("fusermount -u '" + mountPoint + "'") != 0) {
            EXPECT_EQ(run("umount '" + mountPoint + "'"), 0) << "could not unmount " << mountPoint;
        }
    }

    // The word Windows reads from the volume.
    std::uint32_t storedWord(const std::string& path) {
        std::array<unsigned char, 4> b{};
        if (::lgetxattr(path.c_str(), "system.ntfs_attrib_be", b.data(), b.size()) != 4) {
            ADD_FAILURE() << "no NTFS attribute word on " << path;
            return 0xFFFFFFFF;
        }
        return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
               (std::uint32_t{b[2]} << 8) | std::uint32_t{b[3]};
    }

    TempDir dir{"ntfs"};
    const std::string mountPoint = dir / "mnt";
    PosixFileSystem fs{"removable=" + mountPoint};

private:
    bool m_mounted = false;
};

struct RoundTrip {
    std::uint32_t written;
    std::uint32_t readBack;
    std::uint32_t stored; // what Windows will find
};

TEST_F(NtfsVolume, AttributesLiveInTheVolume) {
    // ntfs-3g gives new files the archive bit and new folders directory + archive.
    writeFile(mountPoint + "/new.txt", "x");
    makeDir(mountPoint + "/new");
    EXPECT_EQ(fs.attributes(mountPoint + "/new.txt"), 32u);
    EXPECT_EQ(fs.attributes(mountPoint + "/new"), 48u);

    const std::vector<RoundTrip> files = {
        {32, 32, 0x20}, {0, 0, 0x80}, {1, 1, 0x01},  {33, 33, 0x21},   {38, 38, 0x26},
        {39, 39, 0x27}, {2, 2, 0x02}, {16, 0, 0x80}, {0x400, 0, 0x80},
    };
    for (const auto& c : files) {
        const std::string path = mountPoint + "/f" + std::to_string(c.written);
        writeFile(path, "x");
        EXPECT_TRUE(fs.setAttributes(path, c.written)) << c.written;
        EXPECT_EQ(fs.attributes(path), c.readBack) << c.written;
        EXPECT_EQ(storedWord(path), c.stored) << c.written;
    }
    // Writing 7 to a folder reads back 23 here too.
    const std::vector<RoundTrip> folders = {
        {7, 23, 0x17},  {16, 16, 0x10}, {0, 16, 0x10}, {18, 18, 0x12},
        {22, 22, 0x16}, {48, 48, 0x30}, {1, 17, 0x11},
    };
    for (const auto& c : folders) {
        const std::string path = mountPoint + "/d" + std::to_string(c.written);
        makeDir(path);
        EXPECT_TRUE(fs.setAttributes(path, c.written)) << c.written;
        EXPECT_EQ(fs.attributes(path), c.readBack) << c.written;
        EXPECT_EQ(storedWord(path), c.stored) << c.written;
    }
    // A read-only file still goes when forced; without force it stays.
    EXPECT_FALSE(fs.deleteFile(mountPoint + "/F1", false));
    EXPECT_TRUE(fs.deleteFile(mountPoint + "/F1", true));
    EXPECT_FALSE(fs.fileExists(mountPoint + "/f1"));
}

TEST_F(NtfsVolume, ProtectiveFolderWithGuardFolderNamedWithDots) {
    ASSERT_TRUE(fs.mkDir(mountPoint + "/autorun.inf"));
    ASSERT_TRUE(fs.mkDir(mountPoint + "/autorun.inf/Velmora免疫文件夹.../"));
    ASSERT_TRUE(fs.setAttributes(mountPoint + "/autorun.inf", 7));
    EXPECT_EQ(fs.attributes(mountPoint + "/autorun.inf"), 23u);
    EXPECT_EQ(fs.attributes(mountPoint + "/AUTORUN.INF"), 23u);
    EXPECT_EQ(storedWord(mountPoint + "/autorun.inf"), 0x17u);
    EXPECT_TRUE(fs.folderExists(mountPoint + "/autorun.inf/Velmora免疫文件夹.../"));
    EXPECT_TRUE(fs.folderExists(mountPoint + "/Autorun.inf/VELMORA免疫文件夹..."));
    const auto inside = fs.subFolders(mountPoint + "/autorun.inf");
    ASSERT_TRUE(inside);
    ASSERT_EQ(inside->size(), 1u);
    EXPECT_EQ(inside->front().name, "Velmora免疫文件夹...");
    // The protective folder is in the way of an autorun.inf file.
    EXPECT_FALSE(fs.writeTextLines(mountPoint + "/AUTORUN.INF", {"[autorun]"}));
}

TEST_F(NtfsVolume, NamedNtfsInTheMountTableAndWhenDeclared) {
    EXPECT_EQ(fs.fileSystemName(fs.drives().at(0)), "NTFS");
    makeDir(mountPoint + "/sub");
    PosixFileSystem inside("fixed=" + mountPoint + "/sub");
    EXPECT_EQ(inside.fileSystemName(inside.drives().at(0)), "NTFS");

    // An image file under FUSE has no block device behind it: a fixed disk, as Windows
    // shows a mounted image that is not a disc.
    PosixFileSystem table{MountSource{}};
    bool listed = false;
    for (const Drive& drive : table.drives()) {
        if (drive.path == mountPoint) {
            listed = true;
            EXPECT_EQ(drive.type, drivetype::fixed);
            EXPECT_TRUE(table.isReady(drive));
            EXPECT_EQ(table.fileSystemName(drive), "NTFS");
        }
    }
    EXPECT_TRUE(listed) << mountPoint << " is not among the drives of the mount table";
}

} // namespace
} // namespace tw::test

#endif
