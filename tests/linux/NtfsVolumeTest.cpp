#ifdef TARNWICK_HAVE_POSIX

#include "linux/PosixFileSystem.h"
#include "support/NtfsImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tw::test {
namespace {

// The file-system layer on a real NTFS volume.
class NtfsVolume : public NtfsImageFixture {
protected:
    PosixFileSystem fs{"removable=" + mountPoint};
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
        EXPECT_EQ(storedNtfsAttributes(path), c.stored) << c.written;
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
        EXPECT_EQ(storedNtfsAttributes(path), c.stored) << c.written;
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
    EXPECT_EQ(storedNtfsAttributes(mountPoint + "/autorun.inf"), 0x17u);
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
