#include "linux/PosixAttributes.h"

#include "ports/FileSystem.h"
#include "linux/PosixIo.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tw::posix {

namespace {

constexpr const char* dosAttribName = "user.DOSATTRIB";
constexpr unsigned long msdosMagic = 0x4d44;
constexpr unsigned long exfatMagic = 0x2011BAB0;
constexpr unsigned long ntfs3Magic = 0x7366746e;
constexpr unsigned long fuseMagic = 0x65735546;
constexpr std::uint32_t ntfsNormal = 0x80;

// The entry an attribute call works on: a path whose last name is never followed, or the
// descriptor of the entry itself, reached through its /proc/self/fd link.
// An entry opened for reading (fd) is used directly.
struct Target {
    std::string path;
    bool viaDescriptor = false;
    int fd = -1;
    unsigned long magic = 0; // the file system's statfs type where the caller knows it
};

ssize_t getX(const Target& t, const char* name, void* value, std::size_t size) {
    if (t.fd >= 0) {
        return ::fgetxattr(t.fd, name, value, size);
    }
    return t.viaDescriptor ? ::getxattr(t.path.c_str(), name, value, size)
                           : ::lgetxattr(t.path.c_str(), name, value, size);
}

int setX(const Target& t, const char* name, const void* value, std::size_t size) {
    if (t.fd >= 0) {
        return ::fsetxattr(t.fd, name, value, size, 0);
    }
    return t.viaDescriptor ? ::setxattr(t.path.c_str(), name, value, size, 0)
                           : ::lsetxattr(t.path.c_str(), name, value, size, 0);
}

int removeX(const Target& t, const char* name) {
    if (t.fd >= 0) {
        return ::fremovexattr(t.fd, name);
    }
    return t.viaDescriptor ? ::removexattr(t.path.c_str(), name)
                           : ::lremovexattr(t.path.c_str(), name);
}

bool unsupported(int error) {
    return error == ENOTSUP || error == ENOTTY || error == ENOSYS;
}

// An fd for the FAT ioctls; never through a link (a descriptor's own /proc link is no link
// of the drive's). Only files and folders are opened: opening a device may act on it.
int openForIoctl(const Target& t, const struct stat& st) {
    if (t.fd >= 0) {
        return ::fcntl(t.fd, F_DUPFD_CLOEXEC, 0);
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        errno = ENOTSUP;
        return -1;
    }
    return ::open(t.path.c_str(), O_RDONLY | (t.viaDescriptor ? 0 : O_NOFOLLOW) | O_CLOEXEC |
                                      O_NONBLOCK | O_NOCTTY |
                                      (S_ISDIR(st.st_mode) ? O_DIRECTORY : 0));
}

bool hasWritePermission(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// ntfs-3g's big-endian word, ntfs3's native one, or ntfs3's single byte.
struct NtfsWord {
    const char* name;
    std::size_t size;
    bool bigEndian;
};
constexpr std::array<NtfsWord, 3> ntfsWords = {{
    {"system.ntfs_attrib_be", 4, true},
    {"system.ntfs_attrib", 4, false},
    {"system.dos_attrib", 1, false},
}};

struct NtfsValue {
    const NtfsWord* form;
    std::uint32_t word;
};

std::optional<NtfsValue> readNtfsWord(const Target& t) {
    for (const NtfsWord& form : ntfsWords) {
        std::array<unsigned char, 4> bytes{};
        const ssize_t n = getX(t, form.name, bytes.data(), form.size);
        if (n != static_cast<ssize_t>(form.size)) {
            continue;
        }
        std::uint32_t word = 0;
        for (std::size_t i = 0; i < form.size; ++i) {
            const std::size_t shift = form.bigEndian ? (form.size - 1 - i) * 8 : i * 8;
            word |= static_cast<std::uint32_t>(bytes[i]) << shift;
        }
        return NtfsValue{&form, word};
    }
    return std::nullopt;
}

bool writeNtfsWord(const Target& t, const NtfsWord& form, std::uint32_t word) {
    std::array<unsigned char, 4> bytes{};
    for (std::size_t i = 0; i < form.size; ++i) {
        const std::size_t shift = form.bigEndian ? (form.size - 1 - i) * 8 : i * 8;
        bytes[i] = static_cast<unsigned char>((word >> shift) & 0xFF);
    }
    return setX(t, form.name, bytes.data(), form.size) == 0;
}

unsigned long magicOf(const Target& t) {
    if (t.magic != 0) {
        return t.magic;
    }
    struct statfs sf {};
    if ((t.fd >= 0 ? ::fstatfs(t.fd, &sf) : ::statfs(t.path.c_str(), &sf)) != 0) {
        return 0;
    }
    return static_cast<unsigned long>(sf.f_type);
}

// Where an entry's attribute word lives, with the NTFS word where the file system may be
// NTFS.
struct Placement {
    AttributeStore store;
    std::optional<NtfsValue> ntfs;
};

Placement placementOf(const Target& t) {
    const unsigned long magic = magicOf(t);
    auto ntfs = magic == fuseMagic || magic == ntfs3Magic ? readNtfsWord(t) : std::nullopt;
    return {attributeStoreFor(magic, ntfs.has_value()), ntfs};
}

std::optional<std::string> readXattr(const Target& t, const char* name) {
    std::vector<char> buffer(256);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const ssize_t n = getX(t, name, buffer.data(), buffer.size());
        if (n >= 0) {
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        }
        if (errno != ERANGE) {
            return std::nullopt;
        }
        const ssize_t size = getX(t, name, nullptr, 0);
        if (size < 0 || size > 65536) {
            return std::nullopt;
        }
        buffer.resize(static_cast<std::size_t>(size) + 1);
    }
    return std::nullopt;
}

} // namespace

AttributeStore attributeStoreFor(unsigned long magic, bool ntfsAttributeReadable) {
    switch (magic) {
    case msdosMagic:
    case exfatMagic:
        return AttributeStore::fatIoctl;
    case ntfs3Magic:
        return AttributeStore::ntfsXattr;
    case fuseMagic:
        return ntfsAttributeReadable ? AttributeStore::ntfsXattr : AttributeStore::dosAttrib;
    default:
        return AttributeStore::dosAttrib;
    }
}

std::uint32_t shownWord(std::uint32_t stored, bool isFolder) {
    const std::uint32_t shown = stored & shownAttributes;
    return isFolder ? shown | attr::directory : shown & ~attr::directory;
}

std::optional<std::uint32_t> parseDosAttrib(const std::string& raw) {
    if (raw.size() > 2 && raw[0] == '0' && (raw[1] == 'x' || raw[1] == 'X')) {
        std::uint32_t value = 0;
        for (std::size_t i = 2; i < raw.size() && raw[i] != '\0'; ++i) {
            const char c = raw[i];
            std::uint32_t digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return std::nullopt;
            }
            value = value * 16 + digit;
            if (value > 0xFFFFFFu) {
                return std::nullopt;
            }
        }
        return value;
    }
    // Samba's NDR blob: an empty hex string and its NUL, padding to 2, the version (u16),
    // the union's level (u16), padding to 4, then for versions 3 to 5 valid flags and the
    // attribute word.
    if (raw.size() >= 12 && raw[0] == '\0') {
        const auto byte = [&](std::size_t i) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(raw[i]));
        };
        const std::uint32_t version = byte(2) | (byte(3) << 8);
        if (version >= 3 && version <= 5 && raw.size() >= 16) {
            return byte(12) | (byte(13) << 8) | (byte(14) << 16) | (byte(15) << 24);
        }
        if (version == 1 || version == 2) {
            return byte(8) | (byte(9) << 8) | (byte(10) << 16) | (byte(11) << 24);
        }
    }
    return std::nullopt;
}

namespace {

// The word shown for an entry from its user.DOSATTRIB value, or from the error that reading
// it gave: no record reads as the defaults.
std::optional<std::uint32_t> dosWord(std::optional<std::string_view> raw, int error,
                                     const struct stat& st) {
    const bool isFolder = S_ISDIR(st.st_mode);
    std::uint32_t stored = isFolder ? 0 : attr::archive;
    if (raw) {
        if (const auto parsed = parseDosAttrib(std::string(*raw))) {
            stored = *parsed;
        }
    } else if (error != ENODATA && !unsupported(error)) {
        return std::nullopt;
    }
    std::uint32_t value = shownWord(stored, isFolder);
    if (!isFolder) {
        // A file's read-only bit is its write permission.
        value = hasWritePermission(st) ? value & ~attr::readOnly : value | attr::readOnly;
    }
    return value;
}

std::optional<std::uint32_t> readDos(const Target& t, const struct stat& st) {
    const auto raw = readXattr(t, dosAttribName);
    const int error = errno;
    return raw ? dosWord(*raw, 0, st) : dosWord(std::nullopt, error, st);
}

// getxattrat(2) (Linux 6.13) reads an entry's attribute by its name in an open folder in one
// call, with no path walk. Where the kernel lacks it, or a sandbox refuses it, the entry is
// reached by its name below the folder's /proc/self/fd link.
#if defined(__x86_64__) || defined(__aarch64__)
constexpr long getxattratCall = 464;
#else
constexpr long getxattratCall = -1;
#endif
std::atomic<bool> noXattrAt{getxattratCall < 0};

ssize_t getXAt(int folderFd, const char* name, const char* attribute, char* value,
               std::size_t size) {
    if (!noXattrAt.load(std::memory_order_relaxed)) {
        struct {
            std::uint64_t value;
            std::uint32_t size;
            std::uint32_t flags;
        } args{reinterpret_cast<std::uintptr_t>(value), static_cast<std::uint32_t>(size), 0};
        const long n = ::syscall(getxattratCall, folderFd, name, AT_SYMLINK_NOFOLLOW, attribute,
                                 &args, sizeof args);
        if (n >= 0 || (errno != ENOSYS && errno != EPERM)) {
            return static_cast<ssize_t>(n);
        }
        noXattrAt.store(true, std::memory_order_relaxed);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(folderFd) + "/" + name;
    return ::lgetxattr(path.c_str(), attribute, value, size);
}

bool writeDos(const Target& t, const struct stat& st, std::uint32_t value) {
    const bool isFolder = S_ISDIR(st.st_mode);
    std::uint32_t stored = value & writableAttributes;
    const mode_t oldMode = st.st_mode & 07777;
    mode_t newMode = oldMode;
    if (!isFolder) {
        stored &= ~attr::readOnly;
        newMode = (value & attr::readOnly) != 0
                      ? oldMode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)
                      : (hasWritePermission(st) ? oldMode : oldMode | S_IWUSR);
    }
    const auto setMode = [&] {
        return newMode == oldMode ||
               (t.fd >= 0 ? ::fchmod(t.fd, newMode)
                : t.viaDescriptor
                    ? ::chmod(t.path.c_str(), newMode)
                    : ::fchmodat(AT_FDCWD, t.path.c_str(), newMode, AT_SYMLINK_NOFOLLOW)) == 0;
    };
    // Writing an extended attribute needs write permission: grant it before, take it after.
    const bool grantsWrite = (newMode & S_IWUSR) != 0 && (oldMode & S_IWUSR) == 0;
    if (grantsWrite && !setMode()) {
        return false;
    }
    bool recorded = false;
    if (stored == (isFolder ? 0u : attr::archive)) {
        // The default needs no record; an absent record reads back as it.
        recorded = removeX(t, dosAttribName) == 0 || errno == ENODATA || unsupported(errno);
    } else {
        std::array<char, 16> text{};
        const int len = std::snprintf(text.data(), text.size(), "0x%x", stored);
        recorded = setX(t, dosAttribName, text.data(), static_cast<std::size_t>(len)) == 0;
    }
    if (!recorded) {
        return false;
    }
    return grantsWrite || setMode();
}

std::optional<std::uint32_t> readAttr(const Target& t, const struct stat& st) {
    const bool isFolder = S_ISDIR(st.st_mode);
    const auto [store, ntfs] = placementOf(t);
    switch (store) {
    case AttributeStore::fatIoctl: {
        const Fd fd(openForIoctl(t, st));
        if (fd.get() < 0) {
            return unsupported(errno) ? readDos(t, st) : std::nullopt;
        }
        std::uint32_t word = 0;
        if (::ioctl(fd.get(), FAT_IOCTL_GET_ATTRIBUTES, &word) == 0) {
            return shownWord(word, isFolder);
        }
        // exFAT before the ioctls came: it keeps no more than the defaults show.
        return unsupported(errno) ? readDos(t, st) : std::nullopt;
    }
    case AttributeStore::ntfsXattr:
        if (!ntfs) {
            return std::nullopt;
        }
        return shownWord(ntfs->word, isFolder);
    case AttributeStore::dosAttrib:
        break;
    }
    return readDos(t, st);
}

bool writeAttr(const Target& t, const struct stat& st, std::uint32_t value) {
    const auto [store, ntfs] = placementOf(t);
    switch (store) {
    case AttributeStore::fatIoctl: {
        const Fd fd(openForIoctl(t, st));
        if (fd.get() < 0) {
            return false;
        }
        // The kernel keeps the directory and volume bits itself.
        std::uint32_t word = value & writableAttributes;
        if (::ioctl(fd.get(), FAT_IOCTL_SET_ATTRIBUTES, &word) == 0) {
            return true;
        }
        return unsupported(errno) && writeDos(t, st, value);
    }
    case AttributeStore::ntfsXattr: {
        if (!ntfs) {
            return false;
        }
        // Only the writable bits change; the file system's own bits stay. A file left
        // with none becomes "normal" there.
        const std::uint32_t word =
            (ntfs->word & ~(writableAttributes | ntfsNormal)) | (value & writableAttributes);
        return writeNtfsWord(t, *ntfs->form, word);
    }
    case AttributeStore::dosAttrib:
        break;
    }
    return writeDos(t, st, value);
}

// A held-only (O_PATH) descriptor is reached through its /proc link.
Target descriptorTarget(const HeldEntry& entry) {
    if (!entry.pathOnly) {
        return Target{{}, true, entry.fd, entry.magic};
    }
    return Target{"/proc/self/fd/" + std::to_string(entry.fd), true, -1, entry.magic};
}

} // namespace

std::optional<std::uint32_t> readDosAttrib(const std::string& path, const struct stat& st) {
    return readDos(Target{path}, st);
}

bool writeDosAttrib(const std::string& path, const struct stat& st, std::uint32_t value) {
    return writeDos(Target{path}, st, value);
}

void useXattrAt(bool enabled) {
    noXattrAt.store(!enabled || getxattratCall < 0, std::memory_order_relaxed);
}

std::optional<std::uint32_t> readDosAttribAt(int folderFd, const char* name,
                                             const struct stat& st) {
    std::array<char, 256> raw{};
    const ssize_t n = getXAt(folderFd, name, dosAttribName, raw.data(), raw.size());
    if (n >= 0) {
        return dosWord(std::string_view(raw.data(), static_cast<std::size_t>(n)), 0, st);
    }
    if (errno == ERANGE) {
        return readDos(Target{"/proc/self/fd/" + std::to_string(folderFd) + "/" + name}, st);
    }
    return dosWord(std::nullopt, errno, st);
}

std::optional<std::uint32_t> readAttributes(const std::string& path, const struct stat& st) {
    return readAttr(Target{path}, st);
}

bool writeAttributes(const std::string& path, const struct stat& st, std::uint32_t value) {
    return writeAttr(Target{path}, st, value);
}

std::optional<std::uint32_t> readAttributes(const HeldEntry& entry, const struct stat& st) {
    return readAttr(descriptorTarget(entry), st);
}

bool writeAttributes(const HeldEntry& entry, const struct stat& st, std::uint32_t value) {
    return writeAttr(descriptorTarget(entry), st, value);
}

} // namespace tw::posix
