#include "ports/Quarantine.h"

#include <algorithm>
#include <charconv>
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

namespace {

constexpr std::string_view header = "tarnwick-quarantine 1";
constexpr std::size_t fieldCount = 9;

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

template <typename T> std::optional<T> number(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

bool isSha256(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::optional<QuarantineItem> decodeLine(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        const auto field = unescaped(line.substr(start, tab - start));
        if (!field) {
            return std::nullopt;
        }
        fields.push_back(*field);
        if (tab == std::string_view::npos) {
            break;
        }
        start = tab + 1;
    }
    if (fields.size() != fieldCount) {
        return std::nullopt;
    }
    QuarantineItem item;
    item.id = fields[0];
    const auto time = number<std::int64_t>(fields[1]);
    const auto size = number<std::uint64_t>(fields[2]);
    const auto attributes = number<std::uint32_t>(fields[4]);
    if (!isQuarantineId(item.id) || !time || !size || !isSha256(fields[3]) || !attributes) {
        return std::nullopt;
    }
    item.time = *time;
    item.size = *size;
    item.sha256 = fields[3];
    item.attributes = *attributes;
    item.condemnedBy = fields[5];
    item.driveRoot = fields[6];
    item.driveLabel = fields[7];
    item.originalPath = fields[8];
    return item;
}

} // namespace

std::string encodeManifest(const std::vector<QuarantineItem>& items) {
    std::string text(header);
    text += '\n';
    for (const QuarantineItem& item : items) {
        const std::string fields[fieldCount] = {
            item.id,
            std::to_string(item.time),
            std::to_string(item.size),
            item.sha256,
            std::to_string(item.attributes),
            item.condemnedBy,
            item.driveRoot,
            item.driveLabel,
            item.originalPath,
        };
        for (std::size_t i = 0; i < fieldCount; ++i) {
            text += i == 0 ? "" : "\t";
            text += escaped(fields[i]);
        }
        text += '\n';
    }
    return text;
}

DecodedManifest decodeManifest(std::string_view text) {
    DecodedManifest result;
    std::size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        const bool complete = end != std::string_view::npos;
        if (!complete) {
            end = text.size();
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (first) {
            first = false;
            if (line == header && complete) {
                continue;
            }
            // Without its header the line may still be an item.
            result.damaged = true;
        }
        if (line.empty()) {
            continue;
        }
        const auto item = decodeLine(line);
        const bool duplicate = item && std::any_of(result.items.begin(), result.items.end(),
                                                   [&](const auto& i) { return i.id == item->id; });
        if (!item || duplicate || !complete) {
            result.damaged = true;
            continue;
        }
        result.items.push_back(*item);
    }
    if (first) {
        result.damaged = true; // empty
    }
    return result;
}

bool isQuarantineId(std::string_view id) {
    return !id.empty() && id.size() <= 64 && std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
               c == '-';
    });
}

std::optional<std::vector<std::string>> evictionFor(const std::vector<QuarantineItem>& items,
                                                    std::uint64_t incoming, std::uint64_t bound) {
    if (incoming > bound) {
        return std::nullopt;
    }
    std::vector<const QuarantineItem*> byAge;
    std::uint64_t total = 0;
    for (const QuarantineItem& item : items) {
        byAge.push_back(&item);
        total += item.size;
    }
    // The manifest keeps items in the order they came; the time decides where it disagrees.
    std::stable_sort(byAge.begin(), byAge.end(),
                     [](const auto* a, const auto* b) { return a->time < b->time; });
    std::vector<std::string> evicted;
    for (const QuarantineItem* item : byAge) {
        if (total <= bound - incoming) {
            break;
        }
        evicted.push_back(item->id);
        total -= item->size;
    }
    return evicted;
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
