#pragma once

#include "ports/Quarantine.h"

namespace tw::win32 {

// TEMPORARY, until the Win32 store (%LOCALAPPDATA%\Tarnwick\Quarantine) exists: a quarantine
// that takes no copy, so that the program deletes nothing (each removal shows its failure
// text and the file stays where it is). Remove it when Win32Quarantine lands.
class RefusingQuarantine final : public Quarantine {
public:
    std::optional<std::string> add(const QuarantineFacts& /*facts*/,
                                   ByteReader& /*content*/) override {
        return std::nullopt;
    }
    std::optional<std::vector<QuarantineItem>> list() override {
        return std::vector<QuarantineItem>{};
    }
    RestoreResult restore(const std::string& /*id*/,
                          const std::optional<std::string>& /*folder*/) override {
        return {RestoreOutcome::unknownId, {}, false};
    }
    bool purge(const std::string& /*id*/) override { return false; }
    std::optional<std::size_t> purgeAll() override { return std::size_t{0}; }
};

} // namespace tw::win32
