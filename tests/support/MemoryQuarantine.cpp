#include "support/MemoryQuarantine.h"

#include "drive/Sha256.h"
#include "support/TempDir.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace tw::test {

MemoryQuarantine::MemoryQuarantine(std::string folder, FileSystem& fs, std::uint64_t bound)
    : m_folder(std::move(folder)), m_fs(fs), m_bound(bound) {}

std::optional<std::string> MemoryQuarantine::add(const QuarantineFacts& facts,
                                                 ByteReader& content) {
    try {
        makeDir(m_folder);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const auto evict = evictionFor(m_items, facts.size, m_bound);
    if (!evict) {
        return std::nullopt;
    }
    std::string bytes;
    std::array<char, 65536> buffer{};
    for (;;) {
        const auto n = content.read(buffer.data(), buffer.size());
        if (!n) {
            return std::nullopt;
        }
        if (*n == 0) {
            break;
        }
        bytes.append(buffer.data(), *n);
        if (bytes.size() > facts.size) {
            return std::nullopt;
        }
    }
    if (bytes.size() != facts.size) {
        return std::nullopt;
    }
    for (const std::string& id : *evict) {
        purge(id);
    }
    QuarantineItem item;
    static_cast<QuarantineFacts&>(item) = facts;
    item.id = "m" + std::to_string(++m_next);
    Sha256 digest;
    digest.update(bytes.data(), bytes.size());
    item.sha256 = digest.hexDigest();
    m_content[item.id] = std::move(bytes);
    m_items.push_back(item);
    return item.id;
}

std::optional<std::vector<QuarantineItem>> MemoryQuarantine::list() {
    return m_items;
}

RestoreResult MemoryQuarantine::restore(const std::string& id,
                                        const std::optional<std::string>& folder) {
    RestoreResult result;
    const auto it = std::find_if(m_items.begin(), m_items.end(),
                                 [&](const QuarantineItem& item) { return item.id == id; });
    if (it == m_items.end()) {
        result.outcome = RestoreOutcome::unknownId;
        return result;
    }
    const std::string& original = it->originalPath;
    const std::size_t slash = original.find_last_of(m_fs.separator());
    const std::string target =
        folder ? *folder + m_fs.separator() + original.substr(slash + 1) : original;
    result.path = target;
    const std::string parent = target.substr(0, target.find_last_of(m_fs.separator()));
    if (!m_fs.folderExists(parent)) {
        result.outcome = RestoreOutcome::noFolder;
        return result;
    }
    if (exists(target)) {
        result.outcome = RestoreOutcome::exists;
        return result;
    }
    writeFile(target, m_content[id]);
    result.attributesRestored = m_fs.setAttributes(target, it->attributes);
    result.outcome = RestoreOutcome::restored;
    purge(id);
    return result;
}

bool MemoryQuarantine::purge(const std::string& id) {
    const auto it = std::find_if(m_items.begin(), m_items.end(),
                                 [&](const QuarantineItem& item) { return item.id == id; });
    if (it == m_items.end()) {
        return false;
    }
    m_items.erase(it);
    m_content.erase(id);
    return true;
}

std::optional<std::size_t> MemoryQuarantine::purgeAll() {
    const std::size_t count = m_items.size();
    m_items.clear();
    m_content.clear();
    return count;
}

} // namespace tw::test
