#include "win32/Win32Quarantine.h"

namespace tw {

// A placeholder until the store lands: it keeps nothing, so nothing is removed.
Win32Quarantine::Win32Quarantine(std::string folder, FileSystem& fs, std::uint64_t bound)
    : m_folder(std::move(folder)), m_fs(fs), m_bound(bound) {}

std::optional<std::string> Win32Quarantine::defaultFolder() {
    return std::nullopt;
}

std::optional<std::string> Win32Quarantine::add(const QuarantineFacts&, ByteReader&) {
    return std::nullopt;
}

std::optional<std::vector<QuarantineItem>> Win32Quarantine::list() {
    return std::nullopt;
}

RestoreResult Win32Quarantine::restore(const std::string&, const std::optional<std::string>&) {
    return {};
}

bool Win32Quarantine::purge(const std::string&) {
    return false;
}

std::optional<std::size_t> Win32Quarantine::purgeAll() {
    return std::nullopt;
}

} // namespace tw
