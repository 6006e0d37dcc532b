#include "app/QuarantineCommands.h"

#include <algorithm>

namespace tw {

namespace {

QuarantineReport report(bool ok, std::string zh, std::string en) {
    QuarantineReport r;
    r.ok = ok;
    r.zh = std::move(zh);
    r.en = std::move(en);
    return r;
}

QuarantineReport noSuchItem(const std::string& id) {
    return report(false, "隔离区中没有编号为 " + id + " 的文件。",
                  "No item " + id + " in the quarantine.");
}

} // namespace

QuarantineReport restoreItem(Quarantine& quarantine, const std::string& id,
                             const std::optional<std::string>& folder) {
    const RestoreResult result = quarantine.restore(id, folder);
    const std::string& path = result.path;
    QuarantineReport r;
    switch (result.outcome) {
    case RestoreOutcome::restored:
        r = result.attributesRestored
                ? report(true, "已恢复：" + path, "Restored: " + path)
                : report(true, "已恢复：" + path + "（未能写回文件属性）",
                         "Restored: " + path + " (its attributes could not be written back)");
        break;
    case RestoreOutcome::unknownId:
        r = noSuchItem(id);
        break;
    case RestoreOutcome::exists:
        r = report(false, path + " 已存在，不会被覆盖。请指定其他文件夹。",
                   path + " exists and is never overwritten. Name another folder.");
        break;
    case RestoreOutcome::noFolder:
        r = report(false, "无法恢复到 " + path + "：文件夹不存在或无法进入。",
                   "Cannot restore to " + path + ": the folder is missing or cannot be entered.");
        break;
    case RestoreOutcome::noOriginalPath:
        r = report(false, "编号为 " + id + " 的文件原位置未知，请指定恢复到的文件夹。",
                   "The original place of " + id + " is unknown: name a folder to restore into.");
        break;
    case RestoreOutcome::otherDrive:
        r = report(false,
                   "无法恢复到 " + path + "：原来的磁盘未连接或已更换。请指定恢复到的文件夹。",
                   "Cannot restore to " + path +
                       ": the drive it came from is not mounted there now. Name a folder to "
                       "restore into.");
        break;
    case RestoreOutcome::notRecreatable:
        r = report(false, "编号为 " + id + " 的项目是管道或设备文件，不含数据，无法恢复。",
                   "Item " + id +
                       " was a FIFO or device file: it held no data and cannot be "
                       "made again.");
        break;
    case RestoreOutcome::damaged:
        r = report(false, "隔离区中的副本已损坏，未恢复。",
                   "The stored copy is damaged; nothing was restored.");
        break;
    case RestoreOutcome::failed:
        r = report(false, "恢复失败：" + (path.empty() ? id : path),
                   "Restoring failed: " + (path.empty() ? id : path));
        break;
    }
    r.outcome = result.outcome;
    return r;
}

QuarantineReport purgeItem(Quarantine& quarantine, const std::string& id) {
    if (quarantine.purge(id)) {
        return report(true, "已从隔离区永久删除 " + id + "。",
                      "Deleted " + id + " from the quarantine for good.");
    }
    const auto items = quarantine.list();
    if (items && std::none_of(items->begin(), items->end(),
                              [&](const QuarantineItem& item) { return item.id == id; })) {
        return noSuchItem(id);
    }
    return report(false, "无法从隔离区删除 " + id + "。",
                  "Cannot delete " + id + " from the quarantine.");
}

QuarantineReport purgeAllItems(Quarantine& quarantine) {
    const auto count = quarantine.purgeAll();
    if (!count) {
        return report(false, "无法清空隔离区。", "The quarantine cannot be emptied.");
    }
    const std::string n = std::to_string(*count);
    return report(true, "已清空隔离区，共删除 " + n + " 个文件。",
                  "Emptied the quarantine: " + n + (*count == 1 ? " item" : " items") +
                      " deleted.");
}

std::string originalPathText(const QuarantineItem& item) {
    const std::string path = item.originalPath.empty() ? "（原位置未知）" : item.originalPath;
    switch (item.kind) {
    case ItemKind::link:
        return path + "（符号链接）";
    case ItemKind::special:
        return path + "（管道或设备文件，仅有记录）";
    case ItemKind::file:
        break;
    }
    return path;
}

std::vector<QuarantineRow> quarantineRows(const std::vector<QuarantineItem>& items) {
    std::vector<QuarantineRow> rows;
    rows.reserve(items.size());
    for (const QuarantineItem& item : items) {
        rows.push_back({item.id,
                        {localTimeText(item.time), originalPathText(item),
                         condemnedText(item.condemnedBy), sizeText(item.size)}});
    }
    return rows;
}

std::string quarantineUsageText(const std::vector<QuarantineItem>& items, std::uint64_t bound) {
    std::uint64_t used = 0;
    for (const QuarantineItem& item : items) {
        used = used > UINT64_MAX - item.size ? UINT64_MAX : used + item.size;
    }
    return "已用 " + sizeText(used) + " / " + sizeText(bound);
}

bool asksForFolder(RestoreOutcome outcome) {
    return outcome == RestoreOutcome::exists || outcome == RestoreOutcome::noFolder ||
           outcome == RestoreOutcome::noOriginalPath || outcome == RestoreOutcome::otherDrive;
}

} // namespace tw
