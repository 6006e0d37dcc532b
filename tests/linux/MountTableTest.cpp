#ifdef TARNWICK_HAVE_POSIX

#include "linux/FakeDeviceTree.h"
#include "linux/MountTable.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace tw::test {
namespace {

using posix::DevNumber;

const std::string sataDisk = "devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/"
                             "block/sda";
const std::string sdCard = "devices/pci0000:00/0000:00:1e.6/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0";
const std::string opticalDrive = "devices/pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/"
                                 "1:0:0:0/block/sr0";
const std::string luksStick = "devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/host7/"
                              "target7:0:0/7:0:0:0/block/sdc";
const std::string btrfsStick = "devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/host8/"
                               "target8:0:0/8:0:0:0/block/sde";

std::vector<std::pair<std::string, int>> pathsAndTypes(const std::vector<posix::MountedDrive>& d) {
    std::vector<std::pair<std::string, int>> out;
    for (const auto& drive : d) {
        out.emplace_back(drive.drive.path, drive.drive.type);
    }
    return out;
}

TEST(MountTable, DecodesOctalEscapes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"(/media/ann/MY\040STICK)", "/media/ann/MY STICK"},
        {R"(/mnt/tab\011here)", "/mnt/tab\there"},
        {R"(/mnt/back\134slash)", "/mnt/back\\slash"},
        {R"(/mnt/new\012line)", "/mnt/new\nline"},
        {R"(/mnt/\344\270\255)", "/mnt/\xe4\xb8\xad"}, // UTF-8 bytes escaped one by one
        {R"(/mnt/short\04)", R"(/mnt/short\04)"},
        {R"(/mnt/not\08octal)", R"(/mnt/not\08octal)"},
        {R"(/mnt/too\400big)", R"(/mnt/too\400big)"},
        {R"(\040)", " "},
    };
    for (const auto& [raw, decoded] : cases) {
        EXPECT_EQ(posix::decodeMountEscapes(raw), decoded) << raw;
    }
}

TEST(MountTable, ParsesFieldsAroundOptionalOnesAndSkipsBrokenLines) {
    const auto records = posix::parseMountInfo(
        "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 shared:7 - ext3 /dev/root rw\n"
        "garbage\n"
        "37 35 8:17 / /media/ann/MY\\040STICK rw - vfat /dev/sdb1 rw,uid=1000\n"
        "38 35 x:y / /bad rw - ext4 /dev/sda1 rw\n"
        "39 35 0:50 / /no/type rw -\n"
        "40 35 0:51 / /last rw - tmpfs tmpfs rw");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].dev, (DevNumber{98, 0}));
    EXPECT_EQ(records[0].root, "/mnt1");
    EXPECT_EQ(records[0].mountPoint, "/mnt/parent");
    EXPECT_EQ(records[0].fsType, "ext3");
    EXPECT_EQ(records[0].source, "/dev/root");
    EXPECT_EQ(records[1].mountPoint, "/media/ann/MY STICK");
    EXPECT_EQ(records[1].source, "/dev/sdb1");
    EXPECT_EQ(records[1].superOptions, "rw,uid=1000");
    EXPECT_EQ(records[2].mountPoint, "/last");
}

// A laptop with a USB stick, an SD card, an encrypted stick, a btrfs stick, a disc, a
// network share, images, a card reader without a card, and the kernel's own mounts.
TEST(MountTable, DrivesOfAFullTable) {
    FakeDeviceTree tree;
    tree.disk(sataDisk, {8, 0}, false);
    tree.partition(sataDisk, "sda1", {8, 1});
    tree.partition(sataDisk, "sda2", {8, 2});
    tree.disk(usbStickDisk, {8, 16}, true);
    tree.partition(usbStickDisk, "sdb1", {8, 17});
    tree.disk(sdCard, {179, 0}, false);
    tree.file("sys/" + sdCard + "/device/type", "SD\n");
    tree.partition(sdCard, "mmcblk0p1", {179, 1});
    tree.disk(opticalDrive, {11, 0}, true);
    tree.disk(luksStick, {8, 32}, true);
    tree.partition(luksStick, "sdc1", {8, 33});
    tree.disk("devices/virtual/block/dm-0", {253, 0}, false);
    tree.slave("devices/virtual/block/dm-0", luksStick + "/sdc1");
    tree.disk("devices/virtual/block/loop0", {7, 0}, false);
    tree.disk(btrfsStick, {8, 64}, true);
    tree.partition(btrfsStick, "sde1", {8, 65});
    tree.disk("devices/pci0000:00/0000:00:14.0/usb1/1-5/1-5:1.0/host9/target9:0:0/9:0:0:0/"
              "block/sdd",
              {8, 48}, true, "0"); // a card reader without a card: never mounted
    tree.sources["/dev/sde1"] = {8, 65};
    const std::string secondStick = "devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host10/"
                                    "target10:0:0/10:0:0:0/block/sdf";
    tree.disk(secondStick, {8, 80}, true);
    tree.partition(secondStick, "sdf1", {8, 81});

    const char* table =
        "22 1 0:21 / /proc rw,nosuid shared:5 - proc proc rw\n"
        "23 1 0:22 / /sys rw,nosuid shared:6 - sysfs sysfs rw\n"
        "24 1 0:5 / /dev rw,nosuid shared:2 - devtmpfs udev rw,size=8000000k\n"
        "25 24 0:23 / /dev/shm rw shared:3 - tmpfs tmpfs rw\n"
        "26 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
        "27 26 8:2 / /home rw,relatime shared:29 - ext4 /dev/sda2 rw\n"
        "28 26 0:30 / /run rw shared:12 - tmpfs tmpfs rw,mode=755\n"
        "29 28 0:31 / /run/user/1000 rw shared:300 - tmpfs tmpfs rw,mode=700\n"
        "30 23 0:26 / /sys/fs/cgroup rw shared:9 - cgroup2 cgroup2 rw\n"
        "31 22 0:32 / /proc/sys/fs/binfmt_misc rw shared:13 - autofs systemd-1 rw\n"
        "32 26 0:33 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw\n"
        "33 26 7:1 / /snap/core22/1 ro shared:40 - squashfs /dev/loop1 ro\n"
        "34 26 8:17 /DCIM /home/ann/photos rw shared:200 - vfat /dev/sdb1 rw\n"
        "35 26 8:17 / /media/ann/MY\\040STICK rw,nosuid shared:201 - vfat /dev/sdb1 rw\n"
        "36 26 7:0 / /mnt/ntfs rw shared:202 - fuseblk /dev/loop0 rw,allow_other\n"
        "37 26 0:40 / /mnt/image rw shared:203 - fuse /home/ann/disk.img rw\n"
        "38 26 0:41 / /mnt/nas rw shared:204 - nfs4 server:/export rw\n"
        "39 26 0:42 / /tmp rw shared:205 - tmpfs tmpfs rw\n"
        "40 26 179:1 / /media/ann/SDCARD rw shared:206 - exfat /dev/mmcblk0p1 rw\n"
        "41 26 11:0 / /media/ann/DISC ro shared:207 - iso9660 /dev/sr0 ro\n"
        "42 26 253:0 / /media/ann/SECRET rw shared:208 - ext4 /dev/mapper/luks-1 rw\n"
        "43 26 0:43 / /mnt/btrfs\\040stick rw shared:209 - btrfs /dev/sde1 rw\n"
        "44 28 0:44 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
        "45 26 0:45 / /mnt/ram rw - ramfs ramfs rw\n"
        "46 26 0:46 / /mnt/sshfs rw - fuse.sshfs ann@host:/ rw\n"
        "47 28 8:81 / /run/media/ann/USB rw,nosuid - vfat /dev/sdf1 rw\n"
        "48 28 0:47 / /run/media/ann/RAM rw - tmpfs tmpfs rw\n";

    EXPECT_EQ(pathsAndTypes(posix::drivesFromMountInfo(table, tree.roots())),
              (std::vector<std::pair<std::string, int>>{
                  {"/", 2},
                  {"/home", 2},
                  {"/media/ann/DISC", 4},
                  {"/media/ann/MY STICK", 1},
                  {"/media/ann/SDCARD", 1},
                  {"/media/ann/SECRET", 1},
                  {"/mnt/btrfs stick", 1},
                  {"/mnt/image", 2},
                  {"/mnt/nas", 3},
                  {"/mnt/ntfs", 2},
                  {"/mnt/ram", 5},
                  {"/mnt/sshfs", 3},
                  {"/run/media/ann/RAM", 5},
                  {"/run/media/ann/USB", 1},
                  {"/tmp", 5},
              }));
}

// Nothing that could be served from elsewhere is taken for a local disk: the start-up scan
// would read its root, and a dead server would freeze the window.
TEST(MountTable, WhatIsNotKnownToBeLocalIsANetworkDrive) {
    FakeDeviceTree tree;
    tree.disk(sataDisk, {8, 0}, false);
    tree.partition(sataDisk, "sda1", {8, 1});
    tree.partition(sataDisk, "sda2", {8, 2});
    tree.disk("devices/virtual/block/loop0", {7, 0}, false);
    tree.file("sys/devices/virtual/block/loop0/loop/backing_file", "/mnt/nas/images/a.img\n");
    tree.disk("devices/virtual/block/loop1", {7, 1}, false);
    tree.file("sys/devices/virtual/block/loop1/loop/backing_file", "/home/ann/b.img\n");
    tree.disk(btrfsStick, {8, 64}, true);
    tree.partition(btrfsStick, "sde1", {8, 65});
    tree.sources["/dev/sde1"] = {8, 65};

    const char* table =
        "26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "27 26 8:2 / /home rw - ext4 /dev/sda2 rw\n"
        "28 26 0:30 / /run rw - tmpfs tmpfs rw\n"
        "29 28 0:31 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
        "30 26 0:50 / /mnt/nas rw - nfs4 nas:/export rw\n"
        "31 26 0:51 / /mnt/s3 rw - fuse.s3fs s3fs rw,user_id=0\n"
        "32 26 0:52 / /mnt/gfuse rw - fuse.glusterfs server:/vol rw\n"
        "33 26 0:53 / /mnt/ceph rw - fuse.ceph-fuse ceph-fuse rw\n"
        "34 26 0:54 / /mnt/ftp rw - fuse.curlftpfs curlftpfs#ftp://host/ rw\n"
        "35 26 0:55 / /mnt/lustre rw - lustre 10.0.0.1@tcp:/fs rw\n"
        "36 26 0:56 / /mnt/gpfs rw - gpfs gpfs0 rw\n"
        "37 26 0:57 / /mnt/beegfs rw - beegfs beegfs_nodev rw\n"
        "38 26 0:58 / /mnt/gluster rw - glusterfs server:/vol rw\n"
        "39 26 0:59 / /mnt/dav rw - davfs https://dav.example.org/ rw\n"
        "40 26 0:60 / /mnt/web rw - fuse https://example.org/files rw\n"
        "41 26 0:61 / /mnt/sshfs rw - fuse.sshfs ann@host:/ rw\n"
        "42 26 0:62 / /mnt/rclone rw - fuse.rclone gdrive: rw\n"
        "43 26 0:63 / /mnt/new rw - fuse.someday something rw\n"
        "44 26 0:64 / /mnt/virtio rw - virtiofs hostshare rw\n"
        // FUSE over an image or folder: local where the image is.
        "45 26 0:65 / /mnt/image rw - fuse /home/ann/disk.img rw\n"
        "46 26 0:66 / /mnt/nasimage rw - fuse /mnt/nas/images/disk.img rw\n"
        "47 26 0:67 / /mnt/dotdot rw - fuse /dev/../mnt/nas/disk.img rw\n"
        "48 26 0:68 / /mnt/nested rw - fuse /mnt/nasimage/inner.img rw\n"
        "49 26 0:69 / /mnt/vault rw - fuse.gocryptfs /home/ann/cipher rw\n"
        "50 26 0:70 / /mnt/nasvault rw - fuse.gocryptfs /mnt/nas/cipher rw\n"
        "51 26 0:71 / /mnt/gvfsimage rw - fuse /run/user/1000/gvfs/smb-share:server=nas/d.img rw\n"
        // Loop devices: local where their backing file is.
        "52 26 7:0 / /mnt/loopnas rw - vfat /dev/loop0 rw\n"
        "53 26 7:1 / /mnt/looplocal rw - vfat /dev/loop1 rw\n"
        // Local file systems the table shows without a device.
        "54 26 0:72 / /mnt/pool rw - zfs tank/data rw\n"
        "55 26 0:73 / /mnt/bcache rw - bcachefs /dev/sdc1:/dev/sdd1 rw\n"
        "56 26 0:74 / /mnt/btrfs rw - btrfs /dev/sde1 rw\n"
        "57 26 0:75 / /mnt/btrfs2 rw - btrfs /dev/disk/by-uuid/missing rw\n"
        "58 26 0:76 / /mnt/ram rw - tmpfs tmpfs rw\n"
        "59 26 0:77 / /mnt/devfuse rw - fuse.kbfs /dev/fuse rw\n";

    EXPECT_EQ(pathsAndTypes(posix::drivesFromMountInfo(table, tree.roots())),
              (std::vector<std::pair<std::string, int>>{
                  {"/", 2},
                  {"/home", 2},
                  {"/mnt/bcache", 2},
                  {"/mnt/beegfs", 3},
                  {"/mnt/btrfs", 1},
                  {"/mnt/btrfs2", 2},
                  {"/mnt/ceph", 3},
                  {"/mnt/dav", 3},
                  {"/mnt/devfuse", 3},
                  {"/mnt/dotdot", 3},
                  {"/mnt/ftp", 3},
                  {"/mnt/gfuse", 3},
                  {"/mnt/gluster", 3},
                  {"/mnt/gpfs", 3},
                  {"/mnt/gvfsimage", 3},
                  {"/mnt/image", 2},
                  {"/mnt/looplocal", 2},
                  {"/mnt/loopnas", 3},
                  {"/mnt/lustre", 3},
                  {"/mnt/nas", 3},
                  {"/mnt/nasimage", 3},
                  {"/mnt/nasvault", 3},
                  {"/mnt/nested", 3},
                  {"/mnt/new", 3},
                  {"/mnt/pool", 2},
                  {"/mnt/ram", 5},
                  {"/mnt/rclone", 3},
                  {"/mnt/s3", 3},
                  {"/mnt/sshfs", 3},
                  {"/mnt/vault", 2},
                  {"/mnt/virtio", 3},
                  {"/mnt/web", 3},
              }));
}

// A diskless machine: everything under its root lies on the server, the local /home aside.
TEST(MountTable, ImagesOnANetworkRootAreNetworkDrives) {
    FakeDeviceTree tree;
    tree.disk(sataDisk, {8, 0}, false);
    tree.partition(sataDisk, "sda1", {8, 1});
    const char* table = "20 1 0:20 / / rw - nfs4 server:/roots/pc7 rw\n"
                        "21 20 8:1 / /home rw - ext4 /dev/sda1 rw\n"
                        "22 20 0:40 / /mnt/a rw - fuse /srv/a.img rw\n"
                        "23 20 0:41 / /mnt/b rw - fuse /home/ann/b.img rw\n";
    EXPECT_EQ(pathsAndTypes(posix::drivesFromMountInfo(table, tree.roots())),
              (std::vector<std::pair<std::string, int>>{
                  {"/", 3}, {"/home", 2}, {"/mnt/a", 3}, {"/mnt/b", 2}}));
}

TEST(MountTable, DriveKeepsWhatLaterQuestionsNeed) {
    FakeDeviceTree tree;
    tree.disk(usbStickDisk, {8, 16}, true);
    tree.partition(usbStickDisk, "sdb1", {8, 17});
    const auto drives = posix::drivesFromMountInfo(
        "35 26 8:17 / /media/ann/MY\\040STICK rw - vfat /dev/sdb1 rw\n", tree.roots());
    ASSERT_EQ(drives.size(), 1u);
    const auto decoded = posix::decodeDriveId(drives[0].drive);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->mount.fsType, "vfat");
    EXPECT_EQ(decoded->mount.dev, (DevNumber{8, 17}));
    EXPECT_EQ(decoded->mount.mountPoint, "/media/ann/MY STICK");
    EXPECT_EQ(decoded->mount.source, "/dev/sdb1");
    EXPECT_EQ(decoded->block, (DevNumber{8, 17}));
    EXPECT_FALSE(posix::decodeDriveId(Drive{"/tmp/stick", 1, "declared:/tmp/stick"}));
}

// Across reads the facts of a mount are kept while it stays; a new mount is looked up anew,
// also when it reuses the device numbers of one that left (another stick in the same port).
TEST(MountTable, FactsCacheKeepsMountsAndRereadsNewOnes) {
    FakeDeviceTree tree;
    tree.disk(usbStickDisk, {8, 16}, true);
    tree.partition(usbStickDisk, "sdb1", {8, 17});
    posix::DiskFactsCache cache;
    const std::string root = "26 1 8:1 / / rw - ext4 /dev/sda1 rw\n";
    const std::string stick = "27 26 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n";
    const auto types = [&](const std::string& table) {
        return pathsAndTypes(posix::drivesFromMountInfo(table, tree.roots(), &cache));
    };
    using Types = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(types(root + stick), (Types{{"/", 2}, {"/media/stick", 1}}));
    // The disk's flag is read once per mount: a changed sysfs does not change mount 27.
    tree.remove("sys/" + usbStickDisk + "/removable");
    tree.file("sys/" + usbStickDisk + "/removable", "0\n");
    EXPECT_EQ(types(root + stick), (Types{{"/", 2}, {"/media/stick", 1}}));
    // Unplugged, then a fixed disk at the same numbers gets a new mount id.
    EXPECT_EQ(types(root), (Types{{"/", 2}}));
    EXPECT_EQ(types(root + "28 26 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"),
              (Types{{"/", 2}, {"/media/stick", 2}}));
}

// The disk the system runs from is not a stick, whatever its removable flag says.
TEST(MountTable, SystemDiskIsNeverRemovable) {
    FakeDeviceTree tree;
    tree.disk(sdCard, {179, 0}, false);
    tree.file("sys/" + sdCard + "/device/type", "SD\n");
    tree.partition(sdCard, "mmcblk0p1", {179, 1});
    tree.partition(sdCard, "mmcblk0p2", {179, 2});
    tree.disk(usbStickDisk, {8, 16}, true);
    tree.partition(usbStickDisk, "sdb1", {8, 17});
    tree.disk("devices/platform/emmc/mmc_host/mmc1/mmc1:0001/block/mmcblk1", {179, 8}, false);
    tree.file("sys/devices/platform/emmc/mmc_host/mmc1/mmc1:0001/block/mmcblk1/device/type",
              "MMC\n");
    const char* table = "26 1 179:2 / / rw - ext4 /dev/mmcblk0p2 rw\n"
                        "27 26 179:1 / /boot/firmware rw - vfat /dev/mmcblk0p1 rw\n"
                        "28 26 179:8 / /mnt/emmc rw - ext4 /dev/mmcblk1 rw\n"
                        "29 26 8:17 / /media/pi/STICK rw - vfat /dev/sdb1 rw\n";
    EXPECT_EQ(pathsAndTypes(posix::drivesFromMountInfo(table, tree.roots())),
              (std::vector<std::pair<std::string, int>>{
                  {"/", 2},
                  {"/boot/firmware", 2},
                  {"/media/pi/STICK", 1},
                  {"/mnt/emmc", 2},
              }));
}

TEST(MountTable, LaterMountOnTheSameFolderHidesTheEarlierOne) {
    FakeDeviceTree tree;
    tree.disk(usbStickDisk, {8, 16}, true);
    tree.partition(usbStickDisk, "sdb1", {8, 17});
    const char* table = "26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                        "27 26 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"
                        "28 27 0:50 / /media/stick rw - tmpfs tmpfs rw\n";
    EXPECT_EQ(pathsAndTypes(posix::drivesFromMountInfo(table, tree.roots())),
              (std::vector<std::pair<std::string, int>>{{"/", 2}, {"/media/stick", 5}}));
}

TEST(MountTable, NoSysfsMeansFixedDisks) {
    FakeDeviceTree tree; // empty: no sys folder at all
    EXPECT_EQ(pathsAndTypes(
                  posix::drivesFromMountInfo("26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                             "27 26 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n",
                                             tree.roots())),
              (std::vector<std::pair<std::string, int>>{{"/", 2}, {"/media/stick", 2}}));
    EXPECT_TRUE(posix::drivesFromMountInfo("", tree.roots()).empty());
}

std::string bootSector(unsigned fatSize16, const char* oem = "MSDOS5.0") {
    std::string s(512, '\0');
    s.replace(3, 8, oem);
    s[11] = 0x00; // 512 bytes per sector
    s[12] = 0x02;
    s[13] = 8; // sectors per cluster
    s[16] = 2; // FATs
    s[22] = static_cast<char>(fatSize16 & 0xFF);
    s[23] = static_cast<char>(fatSize16 >> 8);
    s[510] = static_cast<char>(0x55);
    s[511] = static_cast<char>(0xAA);
    return s;
}

TEST(MountTable, NamesFromBootSectors) {
    std::string noSignature = bootSector(0);
    noSignature[511] = 0;
    std::string oddSectorSize = bootSector(200);
    oddSectorSize[12] = 0x03;
    std::string ntfs(512, '\0');
    ntfs.replace(3, 8, "NTFS    ");
    std::string exfat(512, '\0');
    exfat.replace(3, 8, "EXFAT   ");

    EXPECT_EQ(posix::nameFromBootSector(bootSector(0)), "FAT32");
    EXPECT_EQ(posix::nameFromBootSector(bootSector(200)), "FAT");
    EXPECT_EQ(posix::nameFromBootSector(bootSector(1)), "FAT");
    EXPECT_EQ(posix::nameFromBootSector(ntfs), "NTFS");
    EXPECT_EQ(posix::nameFromBootSector(exfat), "exFAT");
    EXPECT_EQ(posix::nameFromBootSector(noSignature), std::nullopt);
    EXPECT_EQ(posix::nameFromBootSector(oddSectorSize), std::nullopt);
    EXPECT_EQ(posix::nameFromBootSector(bootSector(0).substr(0, 511)), std::nullopt);
    EXPECT_EQ(posix::nameFromBootSector(std::string(512, '\0')), std::nullopt);
}

TEST(MountTable, FileSystemNames) {
    FakeDeviceTree tree;
    tree.disk(usbStickDisk, {8, 16}, true);
    for (unsigned minor = 17; minor <= 22; ++minor) {
        tree.partition(usbStickDisk, "sdb" + std::to_string(minor - 16), {8, minor});
    }
    tree.file("dev/sdb1", bootSector(0));   // readable FAT32 device
    tree.file("dev/sdb2", bootSector(250)); // readable FAT16 device
    // sdb3 and sdb4 cannot be read: udev has what it found on them.
    tree.file("udev/b8:19", "S:disk/by-uuid/1234\nE:ID_FS_VERSION=FAT32\nE:ID_FS_TYPE=vfat\n"
                            "E:ID_FS_LABEL=MY_STICK\nE:ID_FS_LABEL_ENC=MY\\x20STICK\n");
    tree.file("udev/b8:20", "E:ID_FS_TYPE=vfat\nE:ID_FS_VERSION=FAT16\nE:ID_FS_LABEL=DATA\n");
    tree.file("udev/b8:21", "E:ID_FS_TYPE=ntfs\nE:ID_FS_VERSION=3.1\n");
    std::string exfat(512, '\0');
    exfat.replace(3, 8, "EXFAT   ");
    tree.file("dev/sdb6", exfat);

    const auto nameOf = [&](const char* type, unsigned minor, const char* mountPoint = "/nowhere") {
        posix::MountRecord m{{8, minor}, "/", mountPoint, type, "/dev/sdb", "rw"};
        return posix::fileSystemNameOf(m, DevNumber{8, minor}, tree.roots());
    };
    EXPECT_EQ(nameOf("vfat", 17), "FAT32");
    EXPECT_EQ(nameOf("vfat", 18), "FAT");
    EXPECT_EQ(nameOf("vfat", 19), "FAT32");
    EXPECT_EQ(nameOf("msdos", 20), "FAT");
    EXPECT_EQ(nameOf("fuseblk", 21), "NTFS");
    EXPECT_EQ(nameOf("fuseblk", 22), "exFAT");
    EXPECT_EQ(nameOf("ntfs3", 17), "NTFS");
    EXPECT_EQ(nameOf("ntfs", 17), "NTFS");
    EXPECT_EQ(nameOf("exfat", 17), "exFAT");
    EXPECT_EQ(nameOf("ext4", 17), "ext4");
    EXPECT_EQ(nameOf("btrfs", 17), "btrfs");
    // Nothing to tell the FAT type by: the older name.
    EXPECT_EQ(nameOf("vfat", 99), "FAT");
    // An unrecognised FUSE volume keeps its own name.
    EXPECT_EQ(nameOf("fuseblk", 99), "fuseblk");

    // The label as udev keeps it, its escapes decoded; none where nothing tells.
    EXPECT_EQ(posix::volumeLabelOf(DevNumber{8, 19}, tree.roots()), "MY STICK");
    EXPECT_EQ(posix::volumeLabelOf(DevNumber{8, 20}, tree.roots()), "DATA");
    EXPECT_EQ(posix::volumeLabelOf(DevNumber{8, 21}, tree.roots()), "");
    EXPECT_EQ(posix::volumeLabelOf(std::nullopt, tree.roots()), "");

    posix::MountRecord tmpfs{{0, 40}, "/", "/tmp", "tmpfs", "tmpfs", "rw"};
    EXPECT_EQ(posix::fileSystemNameOf(tmpfs, std::nullopt, tree.roots()), "tmpfs");
}

TEST(MountTable, UdevRecordProperties) {
    const std::string record = "S:disk/by-label/STICK\nE:ID_FS_TYPE=vfat\nE:ID_FS_VERSION=FAT32\n"
                               "E:ID_FS_VERSION_EXTRA=x\nG:systemd\n";
    EXPECT_EQ(posix::udevProperty(record, "ID_FS_VERSION"), "FAT32");
    EXPECT_EQ(posix::udevProperty(record, "ID_FS_TYPE"), "vfat");
    EXPECT_EQ(posix::udevProperty(record, "ID_FS"), std::nullopt);
    EXPECT_EQ(posix::udevProperty("MAJOR=8\nDEVNAME=sdb1", "DEVNAME"), "sdb1");
}

} // namespace
} // namespace tw::test

#endif
