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
    return item.originalPath.empty() ? "（原位置未知）" : item.originalPath;
}

} // namespace tw
