#include "linux/NtfsAcl.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include <sys/xattr.h>

namespace tw::posix {

namespace {

constexpr std::uint16_t selfRelative = 0x8000;
constexpr std::uint16_t daclProtected = 0x1000;
constexpr std::uint16_t daclPresent = 0x0004;
constexpr std::size_t headerSize = 20;
constexpr std::size_t aclHeaderSize = 8;
constexpr std::size_t aceHeaderSize = 8; // type, flags, size, mask
constexpr std::uint8_t accessDenied = 1;
constexpr std::uint32_t fileAllAccess = 0x1F01FF;
// S-1-1-0: revision 1, one sub-authority, authority 1 (world), sub-authority 0.
constexpr std::array<std::uint8_t, 12> everyone = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};

// ntfs-3g's name first; the kernel's ntfs3 driver keeps the descriptor under its own.
constexpr std::array<const char*, 2> securityAttributes = {"system.ntfs_acl",
                                                           "system.ntfs_security"};

std::uint16_t u16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t u32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void put16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes& b, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        b.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
    }
}

// The length of the SID at offset `at` when it lies wholly within end.
std::optional<std::size_t> sidLength(const Bytes& b, std::size_t at, std::size_t end) {
    if (at + 8 > end || b[at] != 1 || b[at + 1] > 15) {
        return std::nullopt;
    }
    const std::size_t length = 8 + 4 * std::size_t{b[at + 1]};
    if (at + length > end) {
        return std::nullopt;
    }
    return length;
}

struct Header {
    std::uint16_t control = 0;
    std::size_t owner = 0;
    std::size_t group = 0;
    std::size_t sacl = 0;
    std::size_t dacl = 0;
};

std::optional<Header> readHeader(const Bytes& d) {
    if (d.size() < headerSize || d[0] != 1) {
        return std::nullopt;
    }
    Header h{u16(d, 2), u32(d, 4), u32(d, 8), u32(d, 12), u32(d, 16)};
    if ((h.control & selfRelative) == 0) {
        return std::nullopt;
    }
    for (const std::size_t sid : {h.owner, h.group}) {
        if (sid != 0 && (sid < headerSize || !sidLength(d, sid, d.size()))) {
            return std::nullopt;
        }
    }
    return h;
}

// The size of the access list at offset `at` when its header and body lie within d.
std::optional<std::size_t> aclSize(const Bytes& d, std::size_t at) {
    if (at < headerSize || at + aclHeaderSize > d.size() || (d[at] != 2 && d[at] != 4)) {
        return std::nullopt;
    }
    const std::size_t size = u16(d, at + 2);
    if (size < aclHeaderSize || at + size > d.size()) {
        return std::nullopt;
    }
    return size;
}

std::optional<Bytes> readAttribute(const std::string& path, const char* name) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const ssize_t size = ::getxattr(path.c_str(), name, nullptr, 0);
        if (size < 0 || size > 65536) {
            return std::nullopt;
        }
        Bytes value(static_cast<std::size_t>(size));
        const ssize_t n = ::getxattr(path.c_str(), name, value.data(), value.size());
        if (n >= 0) {
            value.resize(static_cast<std::size_t>(n));
            return value;
        }
        if (errno != ERANGE) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<Bytes> denyEveryoneDescriptor(const Bytes& old) {
    const auto header = readHeader(old);
    if (!header || header->owner == 0 || header->group == 0) {
        return std::nullopt;
    }
    const std::size_t ownerLength = *sidLength(old, header->owner, old.size());
    const std::size_t groupLength = *sidLength(old, header->group, old.size());
    const auto ownerAt = static_cast<std::uint32_t>(headerSize);
    const auto groupAt = static_cast<std::uint32_t>(ownerAt + ownerLength);
    const auto daclAt = static_cast<std::uint32_t>(groupAt + groupLength);
    const auto aceSize = static_cast<std::uint16_t>(aceHeaderSize + everyone.size());

    Bytes d;
    d.push_back(1); // revision
    d.push_back(0);
    put16(d, selfRelative | daclProtected | daclPresent);
    put32(d, ownerAt);
    put32(d, groupAt);
    put32(d, 0); // no SACL
    put32(d, daclAt);
    const auto owner = old.begin() + static_cast<std::ptrdiff_t>(header->owner);
    d.insert(d.end(), owner, owner + static_cast<std::ptrdiff_t>(ownerLength));
    const auto group = old.begin() + static_cast<std::ptrdiff_t>(header->group);
    d.insert(d.end(), group, group + static_cast<std::ptrdiff_t>(groupLength));
    d.push_back(2); // ACL revision
    d.push_back(0);
    put16(d, static_cast<std::uint16_t>(aclHeaderSize + aceSize));
    put16(d, 1); // one entry
    put16(d, 0);
    d.push_back(accessDenied);
    d.push_back(0); // explicit, for this folder
    put16(d, aceSize);
    put32(d, fileAllAccess);
    d.insert(d.end(), everyone.begin(), everyone.end());
    return d;
}

namespace {

constexpr std::uint8_t inheritOnly = 0x08;

// The file rights a mask stands for, generic rights mapped as Windows maps them for files.
std::uint32_t fileRights(std::uint32_t mask) {
    constexpr std::uint32_t genericRead = 0x80000000;
    constexpr std::uint32_t genericWrite = 0x40000000;
    constexpr std::uint32_t genericExecute = 0x20000000;
    constexpr std::uint32_t genericAll = 0x10000000;
    if ((mask & genericAll) != 0) {
        mask |= fileAllAccess;
    }
    if ((mask & genericRead) != 0) {
        mask |= 0x120089;
    }
    if ((mask & genericWrite) != 0) {
        mask |= 0x120116;
    }
    if ((mask & genericExecute) != 0) {
        mask |= 0x1200A0;
    }
    return mask & fileAllAccess;
}

enum class AceKind { allows, denies, other };

AceKind kindOf(std::uint8_t type) {
    switch (type) {
    case 0:  // allowed
    case 4:  // allowed, compound
    case 5:  // allowed, object
    case 9:  // allowed, callback
    case 11: // allowed, callback object
        return AceKind::allows;
    case 1:  // denied
    case 6:  // denied, object
    case 10: // denied, callback
    case 12: // denied, callback object
        return AceKind::denies;
    default:
        return AceKind::other;
    }
}

// Walks the entries in order, as the access check does: a right denied to Everyone by an
// earlier entry is denied to every caller, whatever a later entry allows.
bool listLocksEveryoneOut(const Bytes& d, std::size_t at, std::size_t size) {
    const std::size_t end = at + size;
    const std::size_t count = u16(d, at + 4);
    std::size_t ace = at + aclHeaderSize;
    std::uint32_t deniedToAll = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (ace + aceHeaderSize > end) {
            return false;
        }
        const std::size_t aceSize = u16(d, ace + 2);
        if (aceSize < aceHeaderSize || ace + aceSize > end) {
            return false;
        }
        const AceKind kind = kindOf(d[ace]);
        if (kind == AceKind::other) {
            return false; // cannot be judged, so not counted as locked
        }
        // An entry only passed on to children does not apply to the folder itself.
        if ((d[ace + 1] & inheritOnly) == 0) {
            const std::uint32_t rights = fileRights(u32(d, ace + 4));
            if (kind == AceKind::allows && (rights & ~deniedToAll) != 0) {
                return false;
            }
            const std::size_t sid = ace + aceHeaderSize;
            const auto length = sidLength(d, sid, ace + aceSize);
            if (d[ace] == accessDenied && length && *length == everyone.size() &&
                std::equal(everyone.begin(), everyone.end(),
                           d.begin() + static_cast<std::ptrdiff_t>(sid))) {
                deniedToAll |= rights;
            }
        }
        ace += aceSize;
    }
    return true;
}

} // namespace

bool locksEveryoneOut(const Bytes& d) {
    const auto header = readHeader(d);
    // No list at all, or a null one, lets everyone in.
    if (!header || (header->control & daclPresent) == 0 || header->dacl == 0) {
        return false;
    }
    if (header->sacl != 0 && !aclSize(d, header->sacl)) {
        return false;
    }
    const auto size = aclSize(d, header->dacl);
    return size && listLocksEveryoneOut(d, header->dacl, *size);
}

bool writeDenyEveryone(const std::string& path) {
    for (const char* name : securityAttributes) {
        const auto old = readAttribute(path, name);
        if (!old) {
            continue;
        }
        const auto rule = denyEveryoneDescriptor(*old);
        return rule && ::setxattr(path.c_str(), name, rule->data(), rule->size(), 0) == 0;
    }
    return false;
}

bool readsDenyEveryone(const std::string& path) {
    for (const char* name : securityAttributes) {
        if (const auto value = readAttribute(path, name)) {
            return locksEveryoneOut(*value);
        }
    }
    return false;
}

} // namespace tw::posix
