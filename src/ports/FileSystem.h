#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Drive types with the platform's numbers.
namespace drivetype {
inline constexpr int unknown = 0;
inline constexpr int removable = 1;
inline constexpr int fixed = 2;
inline constexpr int network = 3;
inline constexpr int cdrom = 4;
inline constexpr int ramDisk = 5;
} // namespace drivetype

// Attribute words with the platform's numbers; always read and written whole.
namespace attr {
inline constexpr std::uint32_t readOnly = 1;
inline constexpr std::uint32_t hidden = 2;
inline constexpr std::uint32_t system = 4;
inline constexpr std::uint32_t directory = 16;
inline constexpr std::uint32_t archive = 32;
} // namespace attr

struct Drive {
    std::string path; // the drive's root as the user sees it, without a trailing separator
    int type = drivetype::unknown;
    std::string id; // backend's own handle (device numbers, source); not shown
};

// A direct child of a folder.
struct Entry {
    std::string path; // full path
    std::string name;
};

// What a lookup found at a path. "absent" means the folder that would hold the name was read
// and has no such entry; "unknown" means nothing can be told (the drive went away, an I/O
// error, no permission), which must never be taken for "absent".
enum class Presence { file, folder, absent, unknown };

enum class EntryKind {
    file,
    folder,
    link,  // a symbolic link or reparse point: never followed
    other, // a FIFO, a device, a socket
};

// Which entries of a listing must come with their size and attribute word. The others may
// come with their name and kind only, as the folder tells them, which costs the drive less:
// they serve to tell names apart, never to act on (a drive mounted there is not ruled out).
enum class ListDetail { all, files, folders };

// A direct child of a folder with what a listing tells of it in one pass.
struct EntryInfo {
    std::string path; // full path
    std::string name;
    EntryKind kind = EntryKind::file;
    std::uint64_t size = 0;                  // bytes, for files
    std::optional<std::uint32_t> attributes; // nothing where the file system keeps none we read
};

// Reads a text file line by line. Lines end at CR, CR LF or LF; each line comes back as
// UTF-8 without its line end. A UTF-8 byte-order mark at the start of the file is skipped.
// Memory stays bounded whatever the file holds.
class LineReader {
public:
    virtual ~LineReader() = default;
    // The next line, or nothing at the end of the file (or when reading fails).
    virtual std::optional<std::string> next() = 0;
};

// Reads a file's bytes from its start.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Up to size bytes into buffer: 0 at the end, nothing when reading fails.
    virtual std::optional<std::size_t> read(char* buffer, std::size_t size) = 0;
};

// Hands out the bytes of a text kept elsewhere, as a file's bytes would come.
class TextBytes final : public ByteReader {
public:
    explicit TextBytes(std::string_view text) : m_text(text) {}
    std::optional<std::size_t> read(char* buffer, std::size_t size) override;

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

// Drives, folders and files, with the platform's name matching: a lookup takes the exact
// name first and otherwise the one entry of the folder equal to it ignoring letter case.
// A failing call reports failure to its caller (false, empty optional or nullptr); callers
// that skip errors judge the outcome by testing again.
//
// Symbolic links are never followed: a link is a file to every call here (never a folder),
// and deleting it removes the link only.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // All drives, in the platform's order. Cheap: touches no drive's root.
    virtual std::vector<Drive> drives() = 0;
    // Mounted and its root can be read. May touch the drive: ask only where needed.
    virtual bool isReady(const Drive& drive) = 0;
    // "FAT", "FAT32", "NTFS" where they are, the file system's own name otherwise.
    virtual std::string fileSystemName(const Drive& drive) = 0;
    // The volume's label where the platform tells it cheaply; empty when unknown.
    virtual std::string volumeLabel(const Drive& drive);

    // The separator that joins the parts of a path.
    [[nodiscard]] virtual char separator() const = 0;

    // True only for an existing file (a link counts as a file), false for a folder.
    virtual bool fileExists(const std::string& path) = 0;
    // True only for an existing folder; a trailing separator is allowed.
    virtual bool folderExists(const std::string& path) = 0;
    // Tells a missing name from a lookup that could not be made. Every check that judges
    // the outcome of an action asks this, not fileExists or folderExists.
    virtual Presence lookup(const std::string& path);

    // Direct children with kind, size and attribute word, in the platform's order;
    // nothing when the folder cannot be listed. With detail, only the entries of that kind
    // surely carry size and word (a file is anything but a folder here).
    virtual std::optional<std::vector<EntryInfo>> list(const std::string& folder,
                                                       ListDetail detail = ListDetail::all);

    // What the entry at path is, never following a link; nothing when it is absent or the
    // drive cannot tell.
    virtual std::optional<EntryKind> kindOf(const std::string& path);
    // The text of a symbolic link or reparse point, read without following it and without
    // opening what it names; nothing for any other entry or when it cannot be read.
    virtual std::optional<std::string> readLink(const std::string& path);

    // Direct children, in the platform's order, never sorted.
    virtual std::optional<std::vector<Entry>> subFolders(const std::string& folder) = 0;
    virtual std::optional<std::vector<Entry>> files(const std::string& folder) = 0;

    // The attribute word of a file or folder (16 set for folders).
    virtual std::optional<std::uint32_t> attributes(const std::string& path) = 0;
    // Writes the attribute word of a folder or file; the directory bit follows the object.
    virtual bool setAttributes(const std::string& path, std::uint32_t value) = 0;

    // Deletes a file (or link). Without force a read-only file is refused.
    virtual bool deleteFile(const std::string& path, bool force) = 0;
    virtual bool copyFile(const std::string& source, const std::string& destination,
                          bool overwrite) = 0;
    // Gives a file or folder another name in the same folder; never over an existing entry
    // (in any letter case), never through a link. False where it was not done or the
    // platform cannot.
    virtual bool renameItem(const std::string& path, const std::string& newName);
    // Creates one folder; fails when the item exists or the parent is missing.
    virtual bool mkDir(const std::string& path) = 0;
    // Length of a file in bytes.
    virtual std::optional<std::uint64_t> fileLen(const std::string& path) = 0;

    // Opens a text file for reading line by line; nullptr when it cannot be opened.
    virtual std::unique_ptr<LineReader> openText(const std::string& path) = 0;
    // Creates or replaces a text file holding these lines, each ended by CR LF.
    virtual bool writeTextLines(const std::string& path, const std::vector<std::string>& lines) = 0;
    // The same in UTF-8 whatever the platform's code page (with the byte-order mark Windows'
    // editors look for there), for files the user reads: the full scan's reports.
    virtual bool writeUtf8Lines(const std::string& path, const std::vector<std::string>& lines);

    // Opens a file (never through a link) to read its bytes; nullptr when it cannot be.
    virtual std::unique_ptr<ByteReader> openRead(const std::string& path) = 0;

    // A drive action's own view of one drive, taken when the action starts. Every call on a
    // path at or below root goes through a handle on the drive's root opened now, never back
    // through the path text: a drive that goes away makes the calls fail, the folder below its
    // mount point is never reached, and a file system mounted inside the drive is not part of
    // it. Calls on other paths go to this file system. When the root cannot be opened, every
    // call on the drive fails.
    virtual std::unique_ptr<FileSystem> pinDrive(const std::string& root);

    // Gives a folder an access list that denies Everyone all access, where the file system
    // keeps access lists the program can write; false where it cannot.
    virtual bool denyEveryone(const std::string& folder);
    // Whether the folder's access list, read back, denies Everyone all access.
    virtual bool deniesEveryone(const std::string& folder);

    // Resolves a path named inside a drive's files (relative to the drive's root, or
    // absolute) to a path on that drive. Nothing when it lies elsewhere: outside the
    // root, escaping by "..", or through a link that leads off the drive.
    virtual std::optional<std::string> resolveOnDrive(const std::string& driveRoot,
                                                      const std::string& target) = 0;
};

// Joins a folder and a name with the file system's separator, without doubling it.
std::string joinPath(const FileSystem& fs, const std::string& folder, const std::string& name);

} // namespace tw
