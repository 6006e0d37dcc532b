#include "linux/PathText.h"
#include "linux/PinnedDrive.h"

#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tw {

namespace {

constexpr unsigned long exfatMagic = 0x2011BAB0;
constexpr unsigned long fuseMagic = 0x65735546;

EntryKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode)) {
        return EntryKind::file;
    }
    if (S_ISDIR(mode)) {
        return EntryKind::folder;
    }
    if (S_ISLNK(mode)) {
        return EntryKind::link;
    }
    return EntryKind::other;
}

// The attribute word of an entry of an open folder, read through its own descriptor.
std::optional<std::uint32_t> listedAttributes(int folderFd, const char* name, const struct stat& st,
                                              dev_t device, unsigned long magic) {
    // Where the word is an extended attribute of Samba's form, it is read by name relative to
    // the folder's descriptor without opening the entry: one call instead of four.
    if (magic != exfatMagic && magic != fuseMagic &&
        posix::attributeStoreFor(magic, false) == posix::AttributeStore::dosAttrib) {
        return posix::readDosAttribAt(folderFd, name, st);
    }
    const int type = S_ISDIR(st.st_mode) ? O_DIRECTORY : 0;
    bool pathOnly = false;
    posix::Fd fd(
        ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | type));
    if (fd.get() < 0) {
        pathOnly = true;
        fd = posix::Fd(::openat(folderFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC | type));
    }
    struct statx held {};
    // The name may have gone to another entry, or to a mount, since it was read.
    if (fd.get() < 0 ||
        ::statx(fd.get(), "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &held) != 0 ||
        held.stx_ino != st.st_ino || makedev(held.stx_dev_major, held.stx_dev_minor) != device) {
        return std::nullopt;
    }
    if (magic == exfatMagic) {
        // exFAT answers the FAT ioctls only on recent kernels; elsewhere nothing is known,
        // and defaults must not pass for what the stick holds.
        std::uint32_t word = 0;
        if (pathOnly || ::ioctl(fd.get(), FAT_IOCTL_GET_ATTRIBUTES, &word) != 0) {
            return std::nullopt;
        }
        return posix::shownWord(word, S_ISDIR(st.st_mode));
    }
    return posix::readAttributes(posix::HeldEntry{fd.get(), pathOnly, magic}, st);
}

// The kind a folder's listing tells without asking the entry; nothing where it does not.
std::optional<EntryKind> kindOfType(unsigned char type) {
    switch (type) {
    case DT_REG:
        return EntryKind::file;
    case DT_DIR:
        return EntryKind::folder;
    case DT_LNK:
        return EntryKind::link;
    case DT_UNKNOWN:
        return std::nullopt;
    default:
        return EntryKind::other;
    }
}

} // namespace

// One pass over the folder: a statx and one attribute read per entry, each through the
// folder's own descriptor, so that a walk of a whole stick costs no path lookups. Entries of
// a kind the caller needs no detail of are taken by the kind the folder tells, with no call.
std::optional<std::vector<EntryInfo>> PinnedDrive::list(const std::string& folder,
                                                        ListDetail detail) {
    if (!partsOf(folder)) {
        return m_outside.list(folder, detail);
    }
    const auto found = openFolderToList(folder);
    if (!found) {
        return std::nullopt;
    }
    posix::DirStream dir(found->fd);
    if (!dir.open()) {
        return std::nullopt;
    }
    const auto needed = [detail](EntryKind kind) {
        return detail == ListDetail::all ||
               (detail == ListDetail::folders) == (kind == EntryKind::folder);
    };
    std::vector<EntryInfo> entries;
    bool error = false;
    unsigned char type = DT_UNKNOWN;
    while (const char* name = dir.next(error, type)) {
        EntryInfo info;
        info.path = posix::join(found->path, name);
        info.name = name;
        if (const auto told = kindOfType(type); told && !needed(*told)) {
            info.kind = *told;
            entries.push_back(std::move(info));
            continue;
        }
        struct statx sx {};
        if (::statx(dir.fd(), name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                    STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_MNT_ID, &sx) != 0) {
            continue; // gone since the folder was read
        }
        EntryStatView view;
        view.st.st_mode = sx.stx_mode;
        view.st.st_ino = sx.stx_ino;
        view.st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        view.st.st_size = static_cast<off_t>(sx.stx_size);
        if ((sx.stx_mask & STATX_MNT_ID) != 0) {
            view.mount = sx.stx_mnt_id;
        }
        // Something mounted inside the drive is not part of it.
        if (!onDrive(view)) {
            continue;
        }
        info.kind = kindOfMode(view.st.st_mode);
        if (info.kind == EntryKind::file) {
            info.size = sx.stx_size;
        }
        if ((info.kind == EntryKind::file || info.kind == EntryKind::folder) && needed(info.kind)) {
            info.attributes = listedAttributes(dir.fd(), name, view.st, m_dev, m_magic);
        }
        entries.push_back(std::move(info));
    }
    if (error) {
        return std::nullopt;
    }
    return entries;
}

bool PinnedDrive::renameItem(const std::string& path, const std::string& newName) {
    if (!partsOf(path)) {
        return m_outside.renameItem(path, newName);
    }
    const auto found = findOnDrive(path);
    if (!found || found->isRoot() || newName.empty() || newName == "." || newName == ".." ||
        newName.find('/') != std::string::npos || newName.find('\0') != std::string::npos) {
        return false;
    }
    // Never over an existing entry, whatever its letter case.
    struct stat st {};
    bool foreign = false;
    if (nameIn(found->folderFd, newName, st, foreign)) {
        return false;
    }
    return ::renameat2(found->folderFd, found->name.c_str(), found->folderFd, newName.c_str(),
                       RENAME_NOREPLACE) == 0;
}

} // namespace tw
