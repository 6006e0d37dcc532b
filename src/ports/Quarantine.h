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

struct QuarantineItem : QuarantineFacts {
    std::string id;
    std::int64_t time = 0; // when it came in, seconds since 1970-01-01 UTC
    std::string sha256;    // of the content, 64 hexadecimal digits
};

enum class RestoreOutcome {
    restored,
    unknownId,      // no such item
    exists,         // an entry of that name is there: never replaced
    noFolder,       // the folder to put it into is missing or cannot be entered
    noOriginalPath, // a copy without its record: a folder must be given
    damaged,        // the stored copy no longer matches its fingerprint
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
    // disk and records it; oldest items make room when the store's bound needs it. Returns
    // the new item's id, or nothing when no whole copy could be made (larger than the
    // bound, disk full, a read failed): then nothing of it is left in the store.
    virtual std::optional<std::string> add(const QuarantineFacts& facts, ByteReader& content) = 0;
    // Every item, oldest first; nothing when the store cannot be read.
    virtual std::optional<std::vector<QuarantineItem>> list() = 0;
    // Puts an item back, byte for byte and with its attribute word: at its original path, or
    // into folder under its original name; never over an existing entry, never through a
    // link. A restored item leaves the quarantine.
    virtual RestoreResult restore(const std::string& id,
                                  const std::optional<std::string>& folder) = 0;
    // Deletes an item for good.
    virtual bool purge(const std::string& id) = 0;
    // Deletes every item; their number, or nothing when the store could not be changed.
    virtual std::optional<std::size_t> purgeAll() = 0;
};

// The manifest's text: a header line, then one line per item, oldest first, its fields
// separated by tabs and escaped, so that any name survives.
std::string encodeManifest(const std::vector<QuarantineItem>& items);

struct DecodedManifest {
    std::vector<QuarantineItem> items;
    bool damaged = false; // a line or the header could not be read
};
DecodedManifest decodeManifest(std::string_view text);

// Ids are letters, digits and '-': safe as a file name and on a command line.
bool isQuarantineId(std::string_view id);

// The ids to evict, oldest first, so that incoming more bytes stay within bound; nothing
// when even an empty store is too small.
std::optional<std::vector<std::string>> evictionFor(const std::vector<QuarantineItem>& items,
                                                    std::uint64_t incoming, std::uint64_t bound);

// "2024-05-01 15:30:12" in local time.
std::string localTimeText(std::int64_t time);
// "532 字节", "12.5 KB", "3.0 MB".
std::string sizeText(std::uint64_t size);

} // namespace tw
