#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::posix {

using Bytes = std::vector<std::uint8_t>;

// The access rule of the protective folder: a protected access list with one explicit entry
// that denies Everyone (S-1-1-0) all access (0x1F01FF), in a self-relative security
// descriptor that keeps the owner and group of the old one. Nothing when the old descriptor
// is not a well-formed self-relative one with an owner and a group.
std::optional<Bytes> denyEveryoneDescriptor(const Bytes& old);

// Whether a self-relative security descriptor's access list, by its effect, lets no one in:
// judged by what the entries grant, in order, not by their layout. No right is granted to
// anyone when every allow comes after a deny of the same rights to Everyone, allows nothing,
// or only passes rights on to children. A missing or null list lets everyone in; an empty one
// lets no one in; a malformed descriptor, or an entry of a kind not judged here, is not
// counted as locked.
bool locksEveryoneOut(const Bytes& descriptor);

// Writes the rule on a folder through the NTFS drivers' security attributes (ntfs-3g's
// system.ntfs_acl, the kernel ntfs3 driver's system.ntfs_security); reads it back. False
// where the file system keeps no such attribute or refuses it. The path is followed, so that
// /proc/self/fd/N of an O_PATH descriptor reaches the folder it holds: callers pass a folder
// they have checked, or such a descriptor. Nothing is opened for writing.
bool writeDenyEveryone(const std::string& path);
bool readsDenyEveryone(const std::string& path);

} // namespace tw::posix
