#include "scan/FullScanReport.h"

#include "ports/Quarantine.h"

#include <algorithm>

namespace tw {

namespace {

constexpr const char* reportPrefix = "fullscan-";
constexpr const char* reportSuffix = ".txt";

// Creates folder and the folders above it that are missing.
bool makeFolders(FileSystem& fs, const std::string& folder) {
    if (folder.empty() || fs.folderExists(folder)) {
        return !folder.empty();
    }
    const char sep = fs.separator();
    std::vector<std::string> missing;
    std::string at = folder;
    while (!at.empty() && !fs.folderExists(at)) {
        missing.push_back(at);
        const auto cut = at.find_last_of(sep);
        if (cut == std::string::npos || cut == 0) {
            break;
        }
        at.resize(cut);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        (void)fs.mkDir(*it);
    }
    return fs.folderExists(folder);
}

bool isReportName(const std::string& name) {
    const std::string prefix = reportPrefix;
    const std::string suffix = reportSuffix;
    return name.size() > prefix.size() + suffix.size() && name.starts_with(prefix) &&
           name.ends_with(suffix);
}

} // namespace

FullScanReport::FullScanReport(std::string drivePath, std::int64_t time, bool dryRun)
    : m_drivePath(std::move(drivePath)), m_time(time), m_dryRun(dryRun) {}

std::string fullScanReportName(std::int64_t time) {
    std::string digits;
    for (const char c : localTimeText(time)) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    if (digits.size() == 14) {
        // Date and time apart: YYYYMMDD-HHMMSS.
        return reportPrefix + digits.substr(0, 8) + "-" + digits.substr(8) + reportSuffix;
    }
    return reportPrefix + digits + reportSuffix;
}

std::optional<std::string> FullScanReport::write(FileSystem& fs, const std::string& folder,
                                                 const std::vector<std::string>& summary) const {
    if (!makeFolders(fs, folder)) {
        return std::nullopt;
    }
    // Two scans in the same second keep both reports.
    const std::string name = fullScanReportName(m_time);
    const std::string stem = name.substr(0, name.size() - std::string(reportSuffix).size());
    std::string path = joinPath(fs, folder, name);
    for (int n = 2; fs.lookup(path) != Presence::absent; ++n) {
        if (n > 99) {
            return std::nullopt;
        }
        path = joinPath(fs, folder, stem + "-" + std::to_string(n) + reportSuffix);
    }
    std::vector<std::string> text;
    text.reserve(m_header.size() + m_lines.size() + summary.size() + 8);
    text.emplace_back("Tarnwick 完全扫描报告");
    text.emplace_back("驱动器：" + m_drivePath);
    text.emplace_back("开始时间：" + localTimeText(m_time));
    if (m_dryRun) {
        text.emplace_back("演示模式：只检查，不作任何更改。");
    }
    text.insert(text.end(), m_header.begin(), m_header.end());
    text.emplace_back("");
    if (m_lines.empty()) {
        text.emplace_back("没有发现威胁，也没有被隐藏的项目。");
    } else {
        text.insert(text.end(), m_lines.begin(), m_lines.end());
    }
    text.emplace_back("");
    text.insert(text.end(), summary.begin(), summary.end());
    if (!fs.writeUtf8Lines(path, text)) {
        return std::nullopt;
    }
    return path;
}

std::optional<std::string> latestFullScanReport(FileSystem& fs, const std::string& folder) {
    if (folder.empty()) {
        return std::nullopt;
    }
    const auto files = fs.files(folder);
    if (!files) {
        return std::nullopt;
    }
    // The names carry the time, so the newest sorts last; a second report of the same
    // second carries a number after it.
    const Entry* newest = nullptr;
    const auto key = [](const std::string& name) {
        const auto dot = name.rfind('.');
        std::string stem = name.substr(0, dot);
        // "fullscan-YYYYMMDD-HHMMSS" is 24 characters; a "-n" after it counts on.
        const std::string base = stem.substr(0, std::min<std::size_t>(stem.size(), 24));
        const std::string number = stem.size() > 25 ? stem.substr(25) : "1";
        return std::make_pair(base, std::string(4 - std::min<std::size_t>(4, number.size()), '0') +
                                        number);
    };
    for (const Entry& file : *files) {
        if (isReportName(file.name) && (newest == nullptr || key(newest->name) < key(file.name))) {
            newest = &file;
        }
    }
    if (newest == nullptr) {
        return std::nullopt;
    }
    return newest->path;
}

} // namespace tw
