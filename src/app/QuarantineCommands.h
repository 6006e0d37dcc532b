#pragma once

#include "ports/Quarantine.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// An item's original path, or a word saying it is unknown, with what kind of entry it was
// when it held no data.
std::string originalPathText(const QuarantineItem& item);

// The quarantine window's list, the same in both shells: one row per item, oldest first.
inline constexpr std::array<const char*, 4> quarantineHeadings = {"时间", "原位置", "原因", "大小"};
inline constexpr const char* quarantineIntro =
    "Tarnwick 清除的文件都先保存在这里，可以恢复到原位置。";
struct QuarantineRow {
    std::string id;
    std::array<std::string, 4> cells; // under quarantineHeadings
};
std::vector<QuarantineRow> quarantineRows(const std::vector<QuarantineItem>& items);

// How full the store is: "已用 12.5 MB / 1.0 GB".
std::string quarantineUsageText(const std::vector<QuarantineItem>& items, std::uint64_t bound);

// A restore that failed this way is offered again into a folder the user picks.
bool asksForFolder(RestoreOutcome outcome);

} // namespace tw
