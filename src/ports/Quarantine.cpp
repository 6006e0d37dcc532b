#include "ports/Quarantine.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iterator>

namespace tw {

std::string condemnedText(const std::string& key) {
    static const struct {
        const char* key;
        const char* text;
    } texts[] = {
        {condemned::disguisedFolder, "快速扫描：伪装文件夹病毒"},
        {condemned::autorunTarget, "快速扫描：AUTO类病毒"},
        {condemned::autorunFile, "快速扫描：病毒配置文件"},
        {condemned::markedFile, "快速扫描：病毒"},
        {condemned::suspiciousFile, "快速扫描：可疑文件"},
        {condemned::threatCheck, "免疫前检测：威胁文件"},
        {condemned::diskScan, "硬盘扫描：Autorun威胁"},
        {condemned::fullScanLink, "完全扫描：恶意快捷方式"},
        {condemned::fullScanPayload, "完全扫描：病毒文件"},
        {condemned::fullScanDisguise, "完全扫描：伪装文件夹的desktop.ini"},
        {condemned::fullScanAutorun, "完全扫描：AUTO类病毒"},
        {condemned::fullScanSuspicious, "完全扫描：可疑文件（经您确认）"},
        {condemned::unknown, "未知（找回的副本）"},
    };
    for (const auto& entry : texts) {
        if (key == entry.key) {
            return entry.text;
        }
    }
    return key;
}

bool isQuarantineId(std::string_view id) {
    return !id.empty() && id.size() <= 64 && std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
               c == '-';
    });
}

std::string localTimeText(std::int64_t time) {
    const auto t = static_cast<std::time_t>(time);
    const std::tm* local = std::localtime(&t);
    if (local == nullptr) {
        return std::to_string(time);
    }
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

std::string sizeText(std::uint64_t size) {
    if (size < 1024) {
        return std::to_string(size) + " 字节";
    }
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(size) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(units)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

} // namespace tw
