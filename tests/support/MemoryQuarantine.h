#pragma once

#include "ports/Quarantine.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {

// A quarantine that keeps its copies in memory, for scenarios on a platform whose own store
// is not there yet. Like a real store it needs its folder: where that cannot be made (a file
// in the way), no copy is taken. Restores write real files, never over an existing entry.
class MemoryQuarantine final : public Quarantine {
public:
    MemoryQuarantine(std::string folder, FileSystem& fs,
                     std::uint64_t bound = std::uint64_t{1} << 30);

    std::optional<std::string> add(const QuarantineFacts& facts, ByteReader& content) override;
    std::optional<std::vector<QuarantineItem>> list() override;
    RestoreResult restore(const std::string& id, const std::optional<std::string>& folder) override;
    bool purge(const std::string& id) override;
    std::optional<std::size_t> purgeAll() override;

private:
    std::string m_folder;
    FileSystem& m_fs;
    std::uint64_t m_bound;
    std::vector<QuarantineItem> m_items; // oldest first
    std::map<std::string, std::string> m_content;
    int m_next = 0;
};

} // namespace tw::test
