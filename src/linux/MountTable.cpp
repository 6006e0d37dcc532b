#include "linux/MountTable.h"

#include "linux/PosixIo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tw::posix {

namespace {

constexpr std::size_t mountInfoLimit = 16 * 1024 * 1024;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// path is folder itself or lies below it.
bool isAtOrBelow(std::string_view path, std::string_view folder) {
    if (folder == "/") {
        return startsWith(path, "/");
    }
    return startsWith(path, folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

bool contains(std::initializer_list<std::string_view> list, std::string_view value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Not drives: the kernel's own views, container layers, automount triggers.
bool isPseudo(const MountRecord& m) {
    if (contains({"proc",       "sysfs",     "devtmpfs",    "devpts",          "cgroup",
                  "cgroup2",    "cpuset",    "securityfs",  "debugfs",         "tracefs",
                  "pstore",     "bpf",       "efivarfs",    "configfs",        "fusectl",
                  "mqueue",     "hugetlbfs", "binfmt_misc", "autofs",          "rpc_pipefs",
                  "nsfs",       "overlay",   "squashfs",    "fuse.gvfsd-fuse", "fuse.portal",
                  "fuse.lxcfs", "selinuxfs", "nfsd"},
                 m.fsType)) {
        return true;
    }
    if (m.fsType == "tmpfs" &&
        (isAtOrBelow(m.mountPoint, "/proc") || isAtOrBelow(m.mountPoint, "/sys") ||
         isAtOrBelow(m.mountPoint, "/dev") ||
         (isAtOrBelow(m.mountPoint, "/run") && !isAtOrBelow(m.mountPoint, "/run/media")))) {
        return true;
    }
    return m.mountPoint.empty() || m.mountPoint[0] != '/';
}

bool isNetwork(const MountRecord& m) {
    return contains({"nfs",
                     "nfs4",
                     "cifs",
                     "smb3",
                     "smbfs",
                     "9p",
                     "afs",
                     "ceph",
                     "lustre",
                     "gpfs",
                     "beegfs",
                     "glusterfs",
                     "davfs",
                     "ncpfs",
                     "coda",
                     "orangefs",
                     "fuse.sshfs",
                     "fuse.rclone",
                     "fuse.s3fs",
                     "fuse.curlftpfs",
                     "fuse.davfs2",
                     "fuse.glusterfs",
                     "fuse.ceph-fuse",
                     "fuse.gcsfuse",
                     "fuse.goofys",
                     "fuse.juicefs"},
                    m.fsType);
}

bool isRamDisk(const MountRecord& m) {
    return m.fsType == "tmpfs" || m.fsType == "ramfs" || startsWith(m.source, "/dev/ram") ||
           startsWith(m.source, "/dev/zram");
}

bool isCdRom(const MountRecord& m) {
    return m.fsType == "iso9660" || m.fsType == "udf" || startsWith(m.source, "/dev/sr");
}

bool isFuse(const MountRecord& m) {
    return m.fsType == "fuse" || m.fsType == "fuseblk" || startsWith(m.fsType, "fuse.") ||
           startsWith(m.fsType, "fuseblk.");
}

// Local file systems that the table shows without a block device: btrfs subvolumes, ZFS
// datasets, bcachefs over several devices, and FUSE over an image or folder (ntfs-3g on a
// .img, an encrypted folder), whose source is its path. A FUSE source under /dev that is no
// block device tells nothing.
bool isLocalWithoutDevice(const MountRecord& m) {
    return contains({"btrfs", "zfs", "bcachefs"}, m.fsType) ||
           (isFuse(m) && startsWith(m.source, "/") && !startsWith(m.source, "/dev/"));
}

// Served from elsewhere as far as the table tells: a network type, the desktop's gateway to
// shares, or a file system with neither a device nor a local source (s3fs, a fuse over
// https://).
bool remoteByTable(const MountRecord& m) {
    if (isNetwork(m) || m.fsType == "fuse.gvfsd-fuse") {
        return true;
    }
    return m.dev.major == 0 && !isPseudo(m) && !isLocalWithoutDevice(m) && !isRamDisk(m) &&
           !isCdRom(m);
}

// The path with "." and ".." taken away by its text alone ("/dev/../mnt/x" is "/mnt/x").
std::string lexicallyNormal(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    }
    std::string out;
    for (const std::string_view part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

// Whether a path lies on a file system served from elsewhere, by the table's text alone: the
// mount holding it (the deepest mount point above it, the later of equal ones) is remote, or
// is itself an image or folder on such a file system. Nothing is touched.
bool liesOnRemote(const std::string& rawPath, const std::vector<MountRecord>& table,
                  int depth = 0) {
    if (depth > 8) {
        return true; // images inside images inside...: not worth the risk
    }
    if (!startsWith(rawPath, "/")) {
        return false;
    }
    const std::string path = lexicallyNormal(rawPath);
    const MountRecord* holder = nullptr;
    for (const MountRecord& m : table) {
        if (isAtOrBelow(path, m.mountPoint) &&
            (holder == nullptr || m.mountPoint.size() >= holder->mountPoint.size())) {
            holder = &m;
        }
    }
    if (holder == nullptr) {
        return false;
    }
    if (remoteByTable(*holder)) {
        return true;
    }
    return holder->dev.major == 0 && isLocalWithoutDevice(*holder) &&
           liesOnRemote(holder->source, table, depth + 1);
}

std::string parentFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// A small file's bytes (sysfs attributes, udev records, a boot sector).
std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string data;
    std::array<char, 4096> buffer{};
    while (data.size() < limit) {
        const ssize_t n = ::read(fd, buffer.data(), std::min(buffer.size(), limit - data.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n < 0) {
                ::close(fd);
                return std::nullopt;
            }
            break;
        }
        data.append(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

std::string firstLine(const std::optional<std::string>& text) {
    if (!text) {
        return {};
    }
    return text->substr(0, text->find('\n'));
}

std::string sysBlockEntry(DevNumber dev, const SystemRoots& roots) {
    return roots.sys + "/dev/block/" + toString(dev);
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DirStream dir(folder);
    while (const char* name = dir.open() ? dir.next() : nullptr) {
        names.emplace_back(name);
    }
    return names;
}

// The sysfs folder of the whole disk that holds a block device: a partition's parent, and
// through a device mapper (an encrypted stick) the one device underneath.
std::optional<std::string> diskFolderOf(DevNumber block, const SystemRoots& roots) {
    auto folder = realPath(sysBlockEntry(block, roots));
    for (int depth = 0; folder && depth < 4; ++depth) {
        if (exists(*folder + "/partition")) {
            folder = parentFolder(*folder);
        }
        const auto slaves = folderEntries(*folder + "/slaves");
        if (slaves.size() != 1) {
            break;
        }
        folder = realPath(*folder + "/slaves/" + slaves.front());
    }
    return folder;
}

struct DiskFacts {
    std::string folder;
    std::string name;
    bool removable = false;
    std::string backingFile; // of a loop device
};

std::optional<DiskFacts> diskFactsOf(DevNumber block, const SystemRoots& roots) {
    const auto folder = diskFolderOf(block, roots);
    if (!folder) {
        return std::nullopt;
    }
    DiskFacts facts;
    facts.folder = *folder;
    facts.name = baseName(*folder);
    // The SCSI removable bit, the one Windows goes by. SD cards in a card slot do not set
    // it, yet Windows lists them as removable too.
    facts.removable = firstLine(readSmallFile(*folder + "/removable", 64)) == "1" ||
                      (startsWith(facts.name, "mmcblk") &&
                       firstLine(readSmallFile(*folder + "/device/type", 64)) == "SD");
    if (startsWith(facts.name, "loop")) {
        facts.backingFile = firstLine(readSmallFile(*folder + "/loop/backing_file", 4096));
    }
    return facts;
}

// A device file's path: under /dev, without a way out of it.
bool isDeviceSource(const std::string& source) {
    return startsWith(source, "/dev/") && source.find("/../") == std::string::npos &&
           !source.ends_with("/..");
}

std::optional<DevNumber> realBlockDeviceOfSource(const std::string& source) {
    if (!isDeviceSource(source)) {
        return std::nullopt;
    }
    const auto real = realPath(source);
    struct stat st {};
    if (!real || ::stat(real->c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
        return std::nullopt;
    }
    return DevNumber{::major(st.st_rdev), ::minor(st.st_rdev)};
}

// The device file to read a boot sector from.
std::optional<std::string> bootSectorOf(const MountRecord& mount, DevNumber block,
                                        const SystemRoots& roots) {
    std::vector<std::string> candidates;
    if (realBlockDeviceOfSource(mount.source) == block) {
        candidates.push_back(mount.source);
    }
    candidates.push_back(roots.dev + "/block/" + toString(block));
    const auto uevent = readSmallFile(sysBlockEntry(block, roots) + "/uevent", 4096);
    if (const auto name = udevProperty(uevent.value_or(""), "DEVNAME")) {
        candidates.push_back(roots.dev + "/" + *name);
    }
    for (const std::string& candidate : candidates) {
        if (auto sector = readSmallFile(candidate, 512); sector && sector->size() == 512) {
            return sector;
        }
    }
    return std::nullopt;
}

std::string fatName(const MountRecord& mount, std::optional<DevNumber> block,
                    const SystemRoots& roots) {
    if (block) {
        if (const auto sector = bootSectorOf(mount, *block, roots)) {
            if (const auto name = nameFromBootSector(*sector);
                name && (*name == "FAT" || *name == "FAT32")) {
                return *name;
            }
        }
        // Without access to the device, udev has read the boot sector for us.
        const auto record = readSmallFile(roots.udevData + "/b" + toString(*block), 65536);
        if (const auto version = udevProperty(record.value_or(""), "ID_FS_VERSION")) {
            if (*version == "FAT32") {
                return "FAT32";
            }
            if (*version == "FAT12" || *version == "FAT16") {
                return "FAT";
            }
        }
    }
    // Last resort, the cluster count that defines the FAT type.
    struct statfs sf {};
    if (::statfs(mount.mountPoint.c_str(), &sf) == 0 && sf.f_blocks >= 65525) {
        return "FAT32";
    }
    return "FAT";
}

std::optional<std::string> nameOfFuseVolume(const MountRecord& mount,
                                            std::optional<DevNumber> block,
                                            const SystemRoots& roots) {
    // ntfs-3g shows no subtype; its own attribute on the root gives it away.
    std::array<char, 4> word{};
    if (::lgetxattr(mount.mountPoint.c_str(), "system.ntfs_attrib_be", word.data(), word.size()) ==
        4) {
        return "NTFS";
    }
    if (!block) {
        return std::nullopt;
    }
    const auto record = readSmallFile(roots.udevData + "/b" + toString(*block), 65536);
    if (const auto type = udevProperty(record.value_or(""), "ID_FS_TYPE")) {
        if (*type == "ntfs") {
            return "NTFS";
        }
        if (*type == "exfat") {
            return "exFAT";
        }
        if (*type == "vfat") {
            return fatName(mount, block, roots);
        }
    }
    if (const auto sector = bootSectorOf(mount, *block, roots)) {
        return nameFromBootSector(*sector);
    }
    return std::nullopt;
}

// The type of a mount that is neither network, RAM disk nor CD-ROM by its file system.
int typeOf(const MountRecord& record, bool onBlockDevice, const std::optional<DiskFacts>& disk,
           const std::vector<MountRecord>& table) {
    if (!onBlockDevice) {
        // Asking a share for its root can hang the caller: what is not known to be local is
        // taken for a network drive, which nothing reads on its own.
        return isLocalWithoutDevice(record) && !liesOnRemote(record.source, table)
                   ? drivetype::fixed
                   : drivetype::network;
    }
    if (!disk) {
        return drivetype::fixed;
    }
    if (!disk->backingFile.empty() && liesOnRemote(disk->backingFile, table)) {
        return drivetype::network; // an image on a share, through a loop device
    }
    if (startsWith(disk->name, "sr")) {
        return drivetype::cdrom;
    }
    if (startsWith(disk->name, "ram") || startsWith(disk->name, "zram")) {
        return drivetype::ramDisk;
    }
    return disk->removable ? drivetype::removable : drivetype::fixed;
}

} // namespace

std::string toString(DevNumber dev) {
    return std::to_string(dev.major) + ":" + std::to_string(dev.minor);
}

std::optional<DevNumber> parseDevNumber(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 >= text.size()) {
        return std::nullopt;
    }
    DevNumber dev;
    unsigned* parts[] = {&dev.major, &dev.minor};
    const std::string_view texts[] = {text.substr(0, colon), text.substr(colon + 1)};
    for (int i = 0; i < 2; ++i) {
        if (texts[i].size() > 9) {
            return std::nullopt;
        }
        for (const char c : texts[i]) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            *parts[i] = *parts[i] * 10 + static_cast<unsigned>(c - '0');
        }
    }
    return dev;
}

std::string decodeMountEscapes(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3]) && field[i + 1] <= '3') {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            out.push_back(static_cast<char>(value));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::vector<MountRecord> parseMountInfo(std::string_view text) {
    std::vector<MountRecord> records;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);

        std::vector<std::string_view> fields;
        std::size_t pos = 0;
        while (pos < line.size()) {
            const auto space = line.find(' ', pos);
            const auto stop = space == std::string_view::npos ? line.size() : space;
            if (stop > pos) {
                fields.push_back(line.substr(pos, stop - pos));
            }
            pos = stop + 1;
        }
        // id parent maj:min root mount-point options [optional...] - type source super-options
        if (fields.size() < 6) {
            continue;
        }
        const auto dash = std::find(fields.begin() + 6, fields.end(), std::string_view("-"));
        if (fields.end() - dash < 2) {
            continue;
        }
        const auto dev = parseDevNumber(fields[2]);
        if (!dev) {
            continue;
        }
        MountRecord record;
        record.id = std::strtoull(std::string(fields[0]).c_str(), nullptr, 10);
        record.dev = *dev;
        record.root = decodeMountEscapes(fields[3]);
        record.mountPoint = decodeMountEscapes(fields[4]);
        record.fsType = std::string(*(dash + 1));
        record.source = fields.end() - dash >= 3 ? decodeMountEscapes(*(dash + 2)) : std::string{};
        record.superOptions = fields.end() - dash >= 4 ? std::string(*(dash + 3)) : std::string{};
        records.push_back(std::move(record));
    }
    return records;
}

std::optional<DevNumber> blockDeviceOf(const MountRecord& mount, const SystemRoots& roots) {
    if (mount.dev.major != 0) {
        return mount.dev;
    }
    if (!isDeviceSource(mount.source)) {
        return std::nullopt;
    }
    return roots.blockDeviceOfSource ? roots.blockDeviceOfSource(mount.source)
                                     : realBlockDeviceOfSource(mount.source);
}

std::optional<FolderVolume>
volumeOfFolder(const std::string& folder,
               const std::function<std::optional<std::string>()>& mountInfo) {
    struct statfs sf {};
    if (::statfs(folder.c_str(), &sf) != 0) {
        return std::nullopt;
    }
    FolderVolume volume;
    volume.type = static_cast<unsigned long>(sf.f_type);
    if (volume.type != fatSuperMagic) {
        return volume;
    }
    struct stat st {};
    const auto text = mountInfo ? mountInfo() : std::nullopt;
    if (::stat(folder.c_str(), &st) != 0 || !text) {
        return std::nullopt;
    }
    const DevNumber dev{::major(st.st_dev), ::minor(st.st_dev)};
    for (const MountRecord& record : parseMountInfo(*text)) {
        if (record.dev == dev) {
            volume.superOptions = record.superOptions;
            return volume;
        }
    }
    return std::nullopt;
}

std::vector<MountedDrive> drivesFromMountInfo(std::string_view text, const SystemRoots& roots,
                                              DiskFactsCache* cache) {
    // A later mount on the same mount point hides the earlier one.
    const std::vector<MountRecord> all = parseMountInfo(text);
    if (cache != nullptr) {
        cache->keepOnly(all);
    }
    std::vector<MountRecord> visible;
    std::map<std::string, std::size_t> byMountPoint;
    for (MountRecord record : all) {
        if (isPseudo(record)) {
            continue;
        }
        if (const auto it = byMountPoint.find(record.mountPoint); it != byMountPoint.end()) {
            visible[it->second] = std::move(record);
        } else {
            byMountPoint.emplace(record.mountPoint, visible.size());
            visible.push_back(std::move(record));
        }
    }
    // One drive per file system: binds repeat it with another root.
    std::vector<MountRecord> unique;
    for (MountRecord& record : visible) {
        const auto same = std::find_if(unique.begin(), unique.end(),
                                       [&](const MountRecord& u) { return u.dev == record.dev; });
        if (same == unique.end()) {
            unique.push_back(std::move(record));
        } else if (same->root != "/" && record.root == "/") {
            *same = std::move(record);
        }
    }

    struct Candidate {
        MountedDrive drive;
        std::optional<DiskFacts> disk;
    };
    std::vector<Candidate> candidates;
    std::vector<std::string> systemDisks;
    for (MountRecord& record : unique) {
        Candidate c;
        c.drive.drive.path = record.mountPoint;
        if (isNetwork(record)) {
            c.drive.drive.type = drivetype::network;
        } else if (isRamDisk(record)) {
            c.drive.drive.type = drivetype::ramDisk;
        } else if (isCdRom(record)) {
            c.drive.drive.type = drivetype::cdrom;
        } else {
            if (const DiskFactsCache::Facts* known = cache ? cache->find(record) : nullptr) {
                c.drive.block = known->block;
                if (known->haveDisk) {
                    c.disk = DiskFacts{known->diskFolder, known->diskName, known->removable,
                                       known->backingFile};
                }
            } else {
                c.drive.block = blockDeviceOf(record, roots);
                c.disk = c.drive.block ? diskFactsOf(*c.drive.block, roots) : std::nullopt;
                if (cache != nullptr) {
                    DiskFactsCache::Facts facts;
                    facts.block = c.drive.block;
                    if (c.disk) {
                        facts = {c.drive.block,     c.disk->folder,      c.disk->name,
                                 c.disk->removable, c.disk->backingFile, true};
                    }
                    cache->put(record, std::move(facts));
                }
            }
            c.drive.drive.type = typeOf(record, c.drive.block.has_value(), c.disk, all);
            if (c.disk && record.mountPoint == "/") {
                systemDisks.push_back(c.disk->folder);
            }
        }
        c.drive.mount = std::move(record);
        candidates.push_back(std::move(c));
    }

    std::vector<MountedDrive> drives;
    for (Candidate& c : candidates) {
        // The disk the system runs from is never offered as a stick, whatever its flag
        // says (a system on an SD card, a live USB stick).
        if (c.drive.drive.type == drivetype::removable && c.disk &&
            std::find(systemDisks.begin(), systemDisks.end(), c.disk->folder) !=
                systemDisks.end()) {
            c.drive.drive.type = drivetype::fixed;
        }
        c.drive.drive.id = encodeDriveId(c.drive);
        drives.push_back(std::move(c.drive));
    }
    std::sort(drives.begin(), drives.end(), [](const MountedDrive& a, const MountedDrive& b) {
        return a.drive.path < b.drive.path;
    });
    return drives;
}

std::optional<std::string> readMountInfo() {
    return readSmallFile("/proc/self/mountinfo", mountInfoLimit);
}

std::function<std::optional<std::string>()> watchMountInfo() {
    struct Watch {
        Watch() : fd(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC)) {}
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;
        ~Watch() {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        int fd;
        std::optional<std::string> text;
    };
    auto watch = std::make_shared<Watch>();
    return [watch]() -> std::optional<std::string> {
        if (watch->fd < 0) {
            return readMountInfo();
        }
        pollfd p{watch->fd, POLLPRI, 0};
        const int ready = ::poll(&p, 1, 0);
        if (watch->text && ready == 0) {
            return watch->text;
        }
        // Changed, or not known yet: the poll above has taken note of the change, so one
        // that comes while reading is reported next time.
        watch->text = readSmallFile("/proc/self/mountinfo", mountInfoLimit);
        return watch->text;
    };
}

const DiskFactsCache::Facts* DiskFactsCache::find(const MountRecord& mount) const {
    for (const Slot& slot : m_slots) {
        if (slot.id == mount.id && slot.dev == mount.dev && slot.source == mount.source) {
            return &slot.facts;
        }
    }
    return nullptr;
}

void DiskFactsCache::put(const MountRecord& mount, Facts facts) {
    m_slots.push_back({mount.id, mount.dev, mount.source, std::move(facts)});
}

void DiskFactsCache::keepOnly(const std::vector<MountRecord>& table) {
    std::erase_if(m_slots, [&](const Slot& slot) {
        return std::none_of(table.begin(), table.end(), [&](const MountRecord& m) {
            return m.id == slot.id && m.dev == slot.dev && m.source == slot.source;
        });
    });
}

bool mediumPresent(DevNumber block, const SystemRoots& roots) {
    if (!exists(roots.sys + "/dev/block")) {
        return true;
    }
    // A pulled card takes its partitions with it and leaves its disk with size 0.
    const auto size = readSmallFile(sysBlockEntry(block, roots) + "/size", 64);
    return size && firstLine(size) != "0";
}

std::optional<std::string> nameFromBootSector(std::string_view sector) {
    if (sector.size() < 512) {
        return std::nullopt;
    }
    const auto byte = [&](std::size_t i) {
        return unsigned{static_cast<unsigned char>(sector[i])};
    };
    if (sector.substr(3, 8) == "NTFS    ") {
        return "NTFS";
    }
    if (sector.substr(3, 8) == "EXFAT   ") {
        return "exFAT";
    }
    if (byte(510) != 0x55 || byte(511) != 0xAA) {
        return std::nullopt;
    }
    const unsigned bytesPerSector = byte(11) | (byte(12) << 8);
    const unsigned sectorsPerCluster = byte(13);
    const unsigned fatCount = byte(16);
    if ((bytesPerSector != 512 && bytesPerSector != 1024 && bytesPerSector != 2048 &&
         bytesPerSector != 4096) ||
        sectorsPerCluster == 0 || (sectorsPerCluster & (sectorsPerCluster - 1)) != 0 ||
        fatCount == 0) {
        return std::nullopt;
    }
    const unsigned fatSize16 = byte(22) | (byte(23) << 8);
    return fatSize16 == 0 ? "FAT32" : "FAT";
}

std::optional<std::string> udevProperty(std::string_view record, std::string_view key) {
    while (!record.empty()) {
        const auto end = record.find('\n');
        const std::string_view line = record.substr(0, end);
        record = end == std::string_view::npos ? std::string_view{} : record.substr(end + 1);
        // udev records carry "E:KEY=VALUE"; a uevent file carries "KEY=VALUE".
        const std::string_view entry = startsWith(line, "E:") ? line.substr(2) : line;
        if (entry.size() > key.size() && startsWith(entry, key) && entry[key.size()] == '=') {
            return std::string(entry.substr(key.size() + 1));
        }
    }
    return std::nullopt;
}

std::string volumeLabelOf(std::optional<DevNumber> block, const SystemRoots& roots) {
    if (!block) {
        return {};
    }
    const auto record = readSmallFile(roots.udevData + "/b" + toString(*block), 65536);
    const auto encoded = udevProperty(record.value_or(""), "ID_FS_LABEL_ENC");
    if (!encoded) {
        return udevProperty(record.value_or(""), "ID_FS_LABEL").value_or("");
    }
    // udev writes blanks and other unsafe bytes as \xHH.
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    const std::string& text = *encoded;
    std::string label;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && hex(text[i + 2]) >= 0 &&
            hex(text[i + 3]) >= 0) {
            label += static_cast<char>(hex(text[i + 2]) * 16 + hex(text[i + 3]));
            i += 3;
        } else {
            label += text[i];
        }
    }
    return label;
}

std::string fileSystemNameOf(const MountRecord& mount, std::optional<DevNumber> block,
                             const SystemRoots& roots) {
    const std::string& type = mount.fsType;
    if (type == "vfat" || type == "msdos" || type == "fat") {
        return fatName(mount, block, roots);
    }
    if (type == "exfat") {
        return "exFAT";
    }
    if (type == "ntfs" || type == "ntfs3") {
        return "NTFS";
    }
    if (type == "fuseblk" || type == "fuse" || type == "fuseblk.ntfs-3g" ||
        type == "fuse.ntfs-3g") {
        if (auto name = nameOfFuseVolume(mount, block, roots)) {
            return *name;
        }
    }
    return type;
}

std::string encodeDriveId(const MountedDrive& drive) {
    return "mount\n" + drive.mount.fsType + "\n" + toString(drive.mount.dev) + "\n" +
           (drive.block ? toString(*drive.block) : std::string{}) + "\n" + drive.mount.source;
}

std::optional<MountedDrive> decodeDriveId(const Drive& drive) {
    std::string_view id = drive.id;
    std::array<std::string_view, 4> heads;
    for (auto& head : heads) {
        const auto newline = id.find('\n');
        if (newline == std::string_view::npos) {
            return std::nullopt;
        }
        head = id.substr(0, newline);
        id = id.substr(newline + 1);
    }
    if (heads[0] != "mount") {
        return std::nullopt;
    }
    const auto dev = parseDevNumber(heads[2]);
    if (!dev) {
        return std::nullopt;
    }
    MountedDrive result;
    result.drive = drive;
    result.mount.fsType = std::string(heads[1]);
    result.mount.dev = *dev;
    result.mount.root = "/";
    result.mount.mountPoint = drive.path;
    result.mount.source = std::string(id);
    if (!heads[3].empty()) {
        result.block = parseDevNumber(heads[3]);
    }
    return result;
}

} // namespace tw::posix
