#pragma once

#include "ports/FileSystem.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// A file being written, for the store or for a restore. Unless keep() is called it is
// removed when it goes, so that a failed copy leaves nothing behind.
class FileWriter {
public:
    virtual ~FileWriter() = default;
    virtual bool write(const char* data, std::size_t size) = 0;
    // Flushes what was written to the disk.
    virtual bool flush() = 0;
    // Closes the file and leaves it in place.
    virtual bool keep() = 0;
    // Writes the attribute word on the file itself, before it is kept, and tells whether it
    // reads back so; nothing where the platform writes it by path once the file is kept.
    virtual std::optional<bool> setAttributes(std::uint32_t word) {
        (void)word;
        return std::nullopt;
    }
};

// An entry of the store's folder as one listing tells it.
struct StoredEntry {
    std::string name;
    EntryKind kind = EntryKind::file;
    std::uint64_t size = 0;
    std::int64_t time = 0; // last written, seconds since 1970-01-01 UTC
};

// The store's folder, held open for one operation. Names are plain names inside it; no call
// follows a link, and no call blocks on a FIFO or device planted there.
class StoreFolder {
public:
    virtual ~StoreFolder() = default;
    // Takes the lock that keeps another program from changing the store meanwhile, waiting
    // for it in pauses while another program holds it.
    virtual bool lock() = 0;
    // A new, private file; fails when the name is taken. Another program cannot take it for
    // a leftover while it is open.
    virtual std::unique_ptr<FileWriter> create(const std::string& name) = 0;
    // Reads a regular file; nothing when the name is missing or is anything else.
    virtual std::unique_ptr<ByteReader> read(const std::string& name) = 0;
    // Renames at once, flushed to the disk; never over an existing name unless replace.
    virtual bool rename(const std::string& from, const std::string& to, bool replace) = 0;
    virtual bool remove(const std::string& name) = 0;
    // Removes a part that no program is writing any more.
    virtual void removeLeftover(const std::string& name) = 0;
    // Every entry; nothing when the folder cannot be read.
    virtual std::optional<std::vector<StoredEntry>> list() = 0;
    // Bytes free on the disk holding the store; nothing when unknown.
    virtual std::optional<std::uint64_t> freeSpace() = 0;
};

enum class PlaceOutcome { placed, exists, noFolder, failed };

// What the quarantine needs of the platform: its own folder, the identity of a mounted
// drive, and putting things back outside the store without following links.
class QuarantinePlatform {
public:
    virtual ~QuarantinePlatform() = default;
    // Opens the store's folder, first creating it private to the user when create; missing
    // tells a store never made from one that cannot be opened.
    virtual std::unique_ptr<StoreFolder> openStore(bool create, bool& missing) = 0;
    // What tells the volume mounted at root now from any other (another stick, or the folder
    // below the mount point once it is gone); nothing when no volume is there to tell.
    virtual std::optional<std::string> volumeIdentity(const std::string& root) = 0;
    // A folder the user named, with its links resolved; nothing when it is not a folder.
    virtual std::optional<std::string> realFolder(const std::string& folder) = 0;
    // A new file name in folder (absolute), reached from the root without following a link
    // on the way, and never over an existing entry.
    virtual std::unique_ptr<FileWriter>
    createOutside(const std::string& folder, const std::string& name, PlaceOutcome& outcome) = 0;
    // A symbolic link name in folder reached the same way, holding text.
    virtual PlaceOutcome createLink(const std::string& folder, const std::string& name,
                                    const std::string& text) = 0;
    // The characters that separate the names of a path.
    [[nodiscard]] virtual std::string separators() const = 0;
};

} // namespace tw
