#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace tw::posix {

// The bits the platform's file and folder objects show: read-only, hidden, system, volume,
// directory, archive, reparse point, compressed.
inline constexpr std::uint32_t shownAttributes = 0xC3F;
// The bits a write can change; the others follow the object or the file system.
inline constexpr std::uint32_t writableAttributes = 0x27;

// Where a file system keeps the attribute word.
enum class AttributeStore {
    fatIoctl,  // vfat (and exFAT on recent kernels): the kernel's FAT attribute ioctls
    ntfsXattr, // ntfs-3g and ntfs3: their system.ntfs_attrib* attributes
    dosAttrib, // anything else: user.DOSATTRIB as Samba and Wine keep it
};

// The store for a file system, by its statfs magic; ntfsAttributeReadable tells whether
// the entry answers system.ntfs_attrib_be (how ntfs-3g shows itself under FUSE).
AttributeStore attributeStoreFor(unsigned long magic, bool ntfsAttributeReadable);

// The Windows attribute word of an entry that is not a link, from wherever its file
// system keeps it.
std::optional<std::uint32_t> readAttributes(const std::string& path, const struct stat& st);
bool writeAttributes(const std::string& path, const struct stat& st, std::uint32_t value);

// An entry held by a descriptor: opened for reading, or with O_PATH only (pathOnly) where it
// could not be. magic: its file system's statfs type where the caller knows it, else 0.
struct HeldEntry {
    int fd = -1;
    bool pathOnly = false;
    unsigned long magic = 0;
};
// The same for a held entry, never through a path.
std::optional<std::uint32_t> readAttributes(const HeldEntry& entry, const struct stat& st);
bool writeAttributes(const HeldEntry& entry, const struct stat& st, std::uint32_t value);

// The user.DOSATTRIB form used where the file system has no attributes of its own.
std::optional<std::uint32_t> readDosAttrib(const std::string& path, const struct stat& st);
bool writeDosAttrib(const std::string& path, const struct stat& st, std::uint32_t value);
// The same for an entry named in an open folder, read without opening the entry.
std::optional<std::uint32_t> readDosAttribAt(int folderFd, const char* name, const struct stat& st);
// That read takes one call where the kernel has getxattrat(2); tests turn it off to take the
// way older kernels go.
void useXattrAt(bool enabled);

// Decodes a user.DOSATTRIB value: "0x..." text, or Samba's binary blob.
std::optional<std::uint32_t> parseDosAttrib(const std::string& raw);

// The word a file system stores, as the platform shows it for a file or a folder: only
// the shown bits, the directory bit set exactly for folders (0x80, "normal", reads as 0).
std::uint32_t shownWord(std::uint32_t stored, bool isFolder);

} // namespace tw::posix
