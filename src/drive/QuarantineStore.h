#pragma once

#include "ports/FileSystem.h"
#include "ports/Quarantine.h"
#include "ports/QuarantineFolder.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The manifest: a header line, then one line per item, oldest first, its fields separated
// by tabs and escaped, so that any name survives and no line holds a control character.
namespace manifest {
inline constexpr std::string_view header = "tarnwick-quarantine 2";
inline constexpr std::string_view headerVersion1 = "tarnwick-quarantine 1";
// A line is never longer than this; a longer one is damage, skipped without being held.
inline constexpr std::size_t maxLine = 256 * 1024;
std::string encodeLine(const QuarantineItem& item);
// version is that of the header (1 or 2).
std::optional<QuarantineItem> decodeLine(std::string_view line, int version);
} // namespace manifest

// Items no younger than this may go to make room.
inline constexpr std::int64_t evictableAge = 30 * 24 * 60 * 60;

// The ids to evict, oldest first, so that incoming more bytes stay within bound: only items
// older than evictableAge at now and not in kept. Nothing when that is not enough.
std::optional<std::vector<std::string>> evictionFor(const std::vector<QuarantineItem>& items,
                                                    std::uint64_t incoming, std::uint64_t bound,
                                                    std::int64_t now,
                                                    const std::set<std::string>& kept);

// The quarantine in a private folder of the user's, over the platform's part: each copy a
// file "<id>.bin" (no original extension, so a click never starts it), and one manifest
// "manifest" that is always replaced whole (a fresh file, flushed, renamed over the old
// one). A lock keeps a second program (the command line beside the window) from changing
// the store at the same time.
//
// A missing or damaged manifest loses no copy: a damaged one is kept beside the store as
// "manifest.damaged-<time>", and copies it does not name come back as items of unknown
// origin (restored into a folder the user gives). Reading the manifest costs time in
// proportion to its length and memory in proportion to the copies really there.
class QuarantineStore : public Quarantine {
public:
    static constexpr std::uint64_t defaultBound = std::uint64_t{1} << 30;

    // fs writes attribute words back.
    QuarantineStore(std::unique_ptr<QuarantinePlatform> platform, FileSystem& fs,
                    std::uint64_t bound = defaultBound);

    std::optional<std::string> add(const QuarantineFacts& facts, ByteReader& content) override;
    std::optional<std::string> addRecord(const QuarantineFacts& facts, ItemKind kind,
                                         const std::string& linkText) override;
    std::optional<std::vector<QuarantineItem>> list() override;
    RestoreResult restore(const std::string& id, const std::optional<std::string>& folder) override;
    bool purge(const std::string& id) override;
    std::optional<std::size_t> purgeAll() override;
    [[nodiscard]] std::uint64_t bound() const override { return m_bound; }

    // The time in seconds since 1970-01-01 UTC; tests set their own.
    void setClock(std::function<std::int64_t()> now) { m_now = std::move(now); }

private:
    std::optional<std::string> put(const QuarantineFacts& facts, ItemKind kind,
                                   ByteReader& content);
    std::optional<std::vector<QuarantineItem>> load(StoreFolder& folder,
                                                    const std::string& writing);
    std::unique_ptr<StoreFolder> openLocked(bool& missing);
    std::string newId();
    [[nodiscard]] std::string parentOf(const std::string& path) const;
    [[nodiscard]] std::string nameOf(const std::string& path) const;
    [[nodiscard]] bool liesBelowRoot(const QuarantineItem& item) const;

    std::unique_ptr<QuarantinePlatform> m_platform;
    FileSystem& m_fs;
    std::uint64_t m_bound;
    std::function<std::int64_t()> m_now;
    std::set<std::string> m_addedHere; // never evicted while this program runs
};

} // namespace tw
