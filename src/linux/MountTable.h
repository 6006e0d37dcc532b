#pragma once

#include "ports/FileSystem.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::posix {

struct DevNumber {
    unsigned major = 0;
    unsigned minor = 0;
    friend bool operator==(const DevNumber&, const DevNumber&) = default;
};

// "8:17"
std::string toString(DevNumber dev);
std::optional<DevNumber> parseDevNumber(std::string_view text);

// One line of /proc/self/mountinfo, its paths decoded.
struct MountRecord {
    DevNumber dev;    // the file system's device numbers (field 3)
    std::string root; // the folder of the file system mounted here ("/" unless a bind)
    std::string mountPoint;
    std::string fsType;
    std::string source;
    std::string superOptions; // the file system's own options ("rw,check=s")
    std::uint64_t id = 0;     // the mount's own number (field 1)
};

// statfs types of the file systems whose own lookup may already ignore letter case.
inline constexpr unsigned long fatSuperMagic = 0x4d44; // vfat and msdos alike
inline constexpr unsigned long exfatSuperMagic = 0x2011BAB0;

// What a folder's file system is, as far as its name lookup goes.
struct FolderVolume {
    unsigned long type = 0;   // statfs f_type
    std::string superOptions; // filled for FAT, whose options decide how it compares names
};

// Where the machine's device facts live. Tests point these at a fake tree.
struct SystemRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
    std::string udevData = "/run/udev/data";
    // The block device a mount source under /dev names, when the table's device numbers do
    // not (btrfs, fuse): realpath and st_rdev by default. Never asked about other sources.
    std::function<std::optional<DevNumber>(const std::string& source)> blockDeviceOfSource;
    // The file system of a folder: volumeOfFolder by default.
    std::function<std::optional<FolderVolume>(const std::string& folder)> volumeOfFolder;
};

// A drive of the mount table, with what the layer needs to answer questions about it later.
struct MountedDrive {
    Drive drive;
    MountRecord mount;
    std::optional<DevNumber> block; // the partition or disk holding the file system
};

// The disk facts of mounts already seen, kept across reads of the table: a mount keeps its
// device while it stays, and a new mount gets a new id, so only new mounts are looked up.
class DiskFactsCache {
public:
    struct Facts {
        std::optional<DevNumber> block;
        std::string diskFolder;
        std::string diskName;
        bool removable = false;
        std::string backingFile;
        bool haveDisk = false;
    };
    const Facts* find(const MountRecord& mount) const;
    void put(const MountRecord& mount, Facts facts);
    // Forgets the mounts that are no longer in the table.
    void keepOnly(const std::vector<MountRecord>& table);

private:
    struct Slot {
        std::uint64_t id = 0;
        DevNumber dev;
        std::string source;
        Facts facts;
    };
    std::vector<Slot> m_slots;
};

// Decodes the \ooo escapes of mount points and sources ("/media/a\040b" is "/media/a b").
std::string decodeMountEscapes(std::string_view field);

// The lines of a mountinfo text; malformed lines are skipped.
std::vector<MountRecord> parseMountInfo(std::string_view text);

// The drives of a mountinfo text: pseudo file systems left out, one drive per file system
// (the mount of its root preferred over binds), typed like the platform's drives, sorted
// by mount point.
std::vector<MountedDrive> drivesFromMountInfo(std::string_view text, const SystemRoots& roots,
                                              DiskFactsCache* cache = nullptr);

// The text of /proc/self/mountinfo; nothing when it cannot be read.
std::optional<std::string> readMountInfo();
// The same text, read again only when the kernel reports that the table changed (the file
// signals a change to poll); until then the text of the last read.
std::function<std::optional<std::string>()> watchMountInfo();

// The block device holding a mounted file system, if any. Only a source under /dev is
// looked at: any other (an image file of ntfs-3g) may lie on a share that does not answer.
std::optional<DevNumber> blockDeviceOf(const MountRecord& mount, const SystemRoots& roots);

// The statfs type of a folder's file system and, for FAT, the super options of its mount
// (the table read through mountInfo only then); nothing when either cannot be told.
std::optional<FolderVolume>
volumeOfFolder(const std::string& folder,
               const std::function<std::optional<std::string>()>& mountInfo);

// The medium of a block device is present: its sysfs entry exists and its size is not 0.
// True when sysfs cannot tell.
bool mediumPresent(DevNumber block, const SystemRoots& roots);

// The name the platform gives a mounted file system: "FAT", "FAT32", "NTFS", "exFAT", or
// the file system's own name. May read the boot sector, udev's record or the root's
// extended attributes.
std::string fileSystemNameOf(const MountRecord& mount, std::optional<DevNumber> block,
                             const SystemRoots& roots);

// The name a volume's boot sector gives: "FAT" (FAT12, FAT16), "FAT32", "NTFS" or "exFAT";
// nothing for any other sector.
std::optional<std::string> nameFromBootSector(std::string_view sector);

// A mounted file system's label from udev's record of its block device (ID_FS_LABEL_ENC
// decoded); empty when there is none or nothing tells.
std::string volumeLabelOf(std::optional<DevNumber> block, const SystemRoots& roots);

// A udev record's property (the "E:KEY=VALUE" lines of /run/udev/data/bM:m).
std::optional<std::string> udevProperty(std::string_view record, std::string_view key);

// A drive's backend handle, and back.
std::string encodeDriveId(const MountedDrive& drive);
std::optional<MountedDrive> decodeDriveId(const Drive& drive);

} // namespace tw::posix
