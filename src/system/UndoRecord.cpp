#include "system/UndoRecord.h"

#include <algorithm>

namespace tw {

namespace {

constexpr std::size_t maxValueLength = 32;

bool valueCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Registry numbers come back from reg.exe and from the program in either case of hex digits.
bool sameValue(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lower(x) == lower(y); });
}

const SystemSetting* find(const std::vector<SystemSetting>& settings, std::string_view name) {
    const auto it = std::find_if(settings.begin(), settings.end(),
                                 [&](const SystemSetting& s) { return s.name == name; });
    return it == settings.end() ? nullptr : &*it;
}

} // namespace

std::optional<std::map<std::string, std::string>>
parseUndoRecord(std::string_view text, const std::vector<SystemSetting>& settings) {
    if (text.size() > maxUndoRecordSize) {
        return std::nullopt;
    }
    std::map<std::string, std::string> values;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        const std::size_t space = line.rfind(' ');
        if (space == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view name = line.substr(0, space);
        const std::string_view value = line.substr(space + 1);
        if (find(settings, name) == nullptr || values.contains(std::string(name)) ||
            value.empty() || value.size() > maxValueLength ||
            !std::all_of(value.begin(), value.end(), valueCharacter)) {
            return std::nullopt;
        }
        values.emplace(name, value);
    }
    if (values.empty()) {
        return std::nullopt;
    }
    return values;
}

bool settingsSwitchedOff(const std::vector<SystemSetting>& now) {
    return std::all_of(now.begin(), now.end(), [](const SystemSetting& s) {
        return !s.required || sameValue(s.value, s.off);
    });
}

bool settingsAsRecorded(const std::vector<SystemSetting>& now,
                        const std::map<std::string, std::string>& recorded) {
    return std::all_of(recorded.begin(), recorded.end(), [&](const auto& entry) {
        const SystemSetting* setting = find(now, entry.first);
        return setting != nullptr &&
               (!setting->required || sameValue(setting->value, entry.second));
    });
}

} // namespace tw
