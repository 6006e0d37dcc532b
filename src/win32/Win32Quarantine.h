#pragma once

#include "ports/Quarantine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// The quarantine in a folder of the user's: each copy a file "<id>.bin" (no original
// extension, so a click never starts it), and one manifest "manifest" that is always
// replaced whole (a fresh file, flushed, moved over the old one). A lock file opened without
// sharing keeps a second program (the command line beside the window) from changing the
// store at the same time.
//
// A missing or damaged manifest loses no copy: a damaged one is kept beside the store as
// "manifest.damaged-<time>", and copies it does not name come back as items of unknown
// origin (restored into a folder the user gives).
class Win32Quarantine final : public Quarantine {
public:
    static constexpr std::uint64_t defaultBound = std::uint64_t{1} << 30;

    // folder (UTF-8) is created at the first add; fs writes attribute words back.
    Win32Quarantine(std::string folder, FileSystem& fs, std::uint64_t bound = defaultBound);

    // %LOCALAPPDATA%\Tarnwick\Quarantine; nothing when the folder cannot be told.
    static std::optional<std::string> defaultFolder();

    std::optional<std::string> add(const QuarantineFacts& facts, ByteReader& content) override;
    std::optional<std::vector<QuarantineItem>> list() override;
    RestoreResult restore(const std::string& id, const std::optional<std::string>& folder) override;
    bool purge(const std::string& id) override;
    std::optional<std::size_t> purgeAll() override;

    [[nodiscard]] const std::string& folder() const { return m_folder; }

private:
    std::string m_folder;
    FileSystem& m_fs;
    std::uint64_t m_bound;
};

} // namespace tw
