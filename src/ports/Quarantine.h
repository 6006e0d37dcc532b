#pragma once

#include "ports/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Which check condemned a file, by the key the manifest stores.
namespace condemned {
inline constexpr const char* disguisedFolder = "quick-scan-disguised-folder";
inline constexpr const char* autorunTarget = "quick-scan-autorun-target";
inline constexpr const char* autorunFile = "quick-scan-autorun-file";
inline constexpr const char* markedFile = "quick-scan-marked-file";
inline constexpr const char* suspiciousFile = "quick-scan-suspicious-file";
inline constexpr const char* threatCheck = "threat-check-autorun-file";
inline constexpr const char* diskScan = "disk-scan-autorun-file";
inline constexpr const char* fullScanLink = "full-scan-malicious-link";
inline constexpr const char* fullScanPayload = "full-scan-payload";
inline constexpr const char* fullScanDisguise = "full-scan-folder-disguise";
inline constexpr const char* fullScanAutorun = "full-scan-autorun";
inline constexpr const char* fullScanSuspicious = "full-scan-suspicious";
inline constexpr const char* unknown = "unknown"; // a copy found without its record
} // namespace condemned

// The check as the user reads it; an unknown key as it is.
std::string condemnedText(const std::string& key);

// What the program knows of a file it removes.
struct QuarantineFacts {
    std::string originalPath;
    std::string driveRoot;  // the drive's mount point (its path)
    std::string driveLabel; // empty when unknown
    std::uint64_t size = 0;
    std::uint32_t attributes = 0; // the attribute word it had
    std::string condemnedBy;      // a condemned:: key
};

// What was removed. A link, FIFO or device file holds no data: only its record is kept (a
// link with its text), and only a link can be made again.
enum class ItemKind { file, link, special };

struct QuarantineItem : QuarantineFacts {
    std::string id;
    std::int64_t time = 0; // when it came in, seconds since 1970-01-01 UTC
    std::string sha256;    // of the content, 64 hexadecimal digits
    ItemKind kind = ItemKind::file;
    std::string volume; // the identity of the drive it came from; empty when unknown
};

enum class RestoreOutcome {
    restored,
    unknownId,      // no such item
    exists,         // an entry of that name is there: never replaced
    noFolder,       // the folder to put it into is missing or cannot be entered
    noOriginalPath, // a copy without its record: a folder must be given
    damaged,        // the stored copy no longer matches its fingerprint
    otherDrive,     // the drive it came from is not mounted there now: a folder must be given
    notRecreatable, // a FIFO or device file: nothing to put back
    failed,
};

struct RestoreResult {
    RestoreOutcome outcome = RestoreOutcome::failed;
    std::string path;                // where the file went, or would have gone
    bool attributesRestored = false; // its attribute word reads back as it was
};

// Files removed by the program, kept on the computer so that a wrong verdict can be undone.
// Copies are stored so that they cannot be started by a click.
class Quarantine {
public:
    virtual ~Quarantine() = default;

    // Copies content, which must hold facts.size bytes, into the store, flushes it to the
    // disk and records it. Room is made only by items older than 30 days, never by one this
    // program added. Returns the new item's id, or nothing when no whole copy could be made
    // (no room, disk full, a read failed): then nothing of it is left in the store.
    virtual std::optional<std::string> add(const QuarantineFacts& facts, ByteReader& content) = 0;
    // Records a link (with its text) or a FIFO or device file, which hold no data; the id,
    // or nothing when the record could not be made.
    virtual std::optional<std::string> addRecord(const QuarantineFacts& facts, ItemKind kind,
                                                 const std::string& linkText) {
        (void)facts;
        (void)kind;
        (void)linkText;
        return std::nullopt;
    }
    // How many bytes the store may hold; 0 when it does not tell.
    [[nodiscard]] virtual std::uint64_t bound() const { return 0; }
    // Every item, oldest first; nothing when the store cannot be read.
    virtual std::optional<std::vector<QuarantineItem>> list() = 0;
    // Puts an item back, byte for byte and with its attribute word: at its original path
    // when the drive it came from is mounted there, or into folder under its original name;
    // never over an existing entry, never through a link. A restored item leaves the
    // quarantine.
    virtual RestoreResult restore(const std::string& id,
                                  const std::optional<std::string>& folder) = 0;
    // Deletes an item for good.
    virtual bool purge(const std::string& id) = 0;
    // Deletes every item; their number, or nothing when the store could not be changed.
    virtual std::optional<std::size_t> purgeAll() = 0;
};

// Ids are letters, digits and '-': safe as a file name and on a command line.
bool isQuarantineId(std::string_view id);

// "2024-05-01 15:30:12" in local time.
std::string localTimeText(std::int64_t time);
// "532 字节", "12.5 KB", "3.0 MB".
std::string sizeText(std::uint64_t size);

} // namespace tw
