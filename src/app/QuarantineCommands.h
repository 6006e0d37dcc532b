#pragma once

#include "ports/Quarantine.h"

#include <optional>
#include <string>

namespace tw {

// The outcome of a quarantine command as the user reads it: in Chinese, and in English for
// the command line.
struct QuarantineReport {
    bool ok = false;
    RestoreOutcome outcome = RestoreOutcome::failed; // of a restore
    std::string zh;
    std::string en;
};

// The window and the command line restore and delete through these.
QuarantineReport restoreItem(Quarantine& quarantine, const std::string& id,
                             const std::optional<std::string>& folder);
QuarantineReport purgeItem(Quarantine& quarantine, const std::string& id);
QuarantineReport purgeAllItems(Quarantine& quarantine);

// An item's original path, or a word saying it is unknown.
std::string originalPathText(const QuarantineItem& item);

} // namespace tw
