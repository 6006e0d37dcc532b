#ifdef TARNWICK_HAVE_POSIX

#include "drive/DriveMonitor.h"
#include "linux/FakeDeviceTree.h"
#include "drive/modUsbCheck.h"
#include "linux/PosixFileSystem.h"
#include "support/Fragments.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tw::test {
namespace {

const std::string cardReader = "devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/host7/"
                               "target7:0:0/7:0:0:0/block/sdc";

// A desktop as the user has it: the system disk, a card reader and a USB stick, mounted
// under a temporary folder that plays the part of /.
class MountedStick : public ::testing::Test {
protected:
    void SetUp() override {
        tree.disk("devices/virtual/block/vda", {254, 0}, false);
        tree.disk(usbStickDisk, {8, 16}, true);
        tree.partition(usbStickDisk, "sdb1", {8, 17});
        tree.disk(cardReader, {8, 32}, true);
        tree.partition(cardReader, "sdc1", {8, 33});
        makeDir(stick);
        makeDir(card);
        writeFile(stick + "/autorun.inf", "[autorun]\r\nopen=x.exe\r\n");
        table = "26 1 254:0 / / rw - ext4 /dev/vda rw\n"
                "40 26 8:17 / " +
                mountInfoPath(stick) +
                " rw,nosuid,nodev shared:201 - vfat /dev/sdb1 rw,uid=1000\n" + "41 26 8:33 / " +
                mountInfoPath(card) + " rw,nosuid shared:202 - vfat /dev/sdc1 rw\n";
    }

    PosixFileSystem mounted() {
        MountSource source;
        source.mountInfo = [this]() -> std::optional<std::string> { return table; };
        source.roots = tree.roots();
        return PosixFileSystem(source);
    }

    FakeDeviceTree tree;
    TempDir media{"media"};
    const std::string stick = media / "ann/MY STICK";
    const std::string card = media / "ann/CARD";
    std::string table;
};

TEST_F(MountedStick, ReadinessOfEachDrive) {
    PosixFileSystem fs = mounted();
    const auto drives = fs.drives();
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[1].path, card);
    EXPECT_EQ(drives[2].path, stick);
    EXPECT_EQ(drives[2].type, drivetype::removable);
    EXPECT_TRUE(fs.isReady(drives[1]));
    EXPECT_TRUE(fs.isReady(drives[2]));

    // The card is pulled out; its mount lingers, its partition is gone, its disk is empty.
    tree.remove("sys/" + cardReader + "/sdc1");
    tree.file("sys/" + cardReader + "/size", "0\n");
    EXPECT_FALSE(fs.isReady(drives[1]));
    EXPECT_TRUE(fs.isReady(drives[2]));

    // The stick is unmounted after the list was taken: its old drive is no longer ready.
    table = "26 1 254:0 / / rw - ext4 /dev/vda rw\n";
    EXPECT_FALSE(fs.isReady(drives[2]));
    // Mounted again, but another stick is on that folder now.
    table += "42 26 8:49 / " + mountInfoPath(stick) + " rw - vfat /dev/sdd1 rw\n";
    EXPECT_FALSE(fs.isReady(drives[2]));
}

TEST_F(MountedStick, RootThatCannotBeListedIsNotReady) {
    PosixFileSystem fs = mounted();
    const auto drives = fs.drives();
    std::filesystem::remove_all(card);
    EXPECT_FALSE(fs.isReady(drives[1]));
}

// The card reader comes first in drive order; without its card the stick is reported.
TEST_F(MountedStick, ProbeAndMonitorFindTheStickBehindAnEmptyCardReader) {
    tree.remove("sys/" + cardReader + "/sdc1");
    tree.file("sys/" + cardReader + "/size", "0\n");
    Harness h;
    PosixFileSystem fs = mounted();
    Ports ports{fs, h.host, h.view, h.clock, h.quarantine};
    DriveMonitorTick(ports, h.state);
    EXPECT_EQ(h.lines(), stickConnected(stick));
    EXPECT_EQ(h.state.probe.autorunPath, stick + "/autorun.inf");
    EXPECT_TRUE(fs.fileExists(h.state.probe.autorunPath));

    // Pulled out: udisks unmounts it and removes the folder.
    table = "26 1 254:0 / / rw - ext4 /dev/vda rw\n";
    std::filesystem::remove_all(stick);
    DriveMonitorTick(ports, h.state);
    EXPECT_EQ(h.lines().back(), "wait 1s");
    EXPECT_EQ(h.state.probe.found, 0);
    EXPECT_EQ(h.state.probe.drivePath, stick);
}

TEST_F(MountedStick, FileSystemNameFromUdevWhenTheDeviceCannotBeRead) {
    tree.file("udev/b8:17", "E:ID_FS_TYPE=vfat\nE:ID_FS_VERSION=FAT32\n");
    PosixFileSystem fs = mounted();
    DriveProbe probe;
    std::optional<Drive> probed;
    modUsbCheck(fs, probe, &probed);
    ASSERT_EQ(probe.found, 1);
    EXPECT_EQ(fs.fileSystemName(*probed), "FAT32");
}

} // namespace
} // namespace tw::test

#endif
