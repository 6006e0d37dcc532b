#include "scan/FullScanRules.h"

#include "ports/FileSystem.h"
#include "ports/Utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <utility>

namespace tw {
namespace {

constexpr std::string_view magic = "tarnwick-fullscan-rules";

bool blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// "\u00A0", "\\" and "\#" in values: invisible names stay visible in the file, and a pattern
// may start with '#' without being a comment.
std::optional<std::string> unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '#')) {
            out += s[i + 1];
            ++i;
            continue;
        }
        if (s.size() - i < 6 || s[i + 1] != 'u') {
            return std::nullopt;
        }
        unsigned cp = 0;
        const char* first = s.data() + i + 2;
        const auto [end, ec] = std::from_chars(first, first + 4, cp, 16);
        if (ec != std::errc() || end != first + 4 || cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return std::nullopt;
        }
        appendUtf8(out, cp);
        i += 5;
    }
    return out;
}

constexpr std::array<std::pair<std::string_view, ArgumentSign>, 9> signNames = {{
    {"opens-folder", ArgumentSign::opensFolder},
    {"exits-afterwards", ArgumentSign::exitsAfterwards},
    {"encoded-command", ArgumentSign::encodedCommand},
    {"hidden-window", ArgumentSign::hiddenWindow},
    {"policy-bypass", ArgumentSign::policyBypass},
    {"non-interactive", ArgumentSign::nonInteractive},
    {"download-and-run", ArgumentSign::downloadAndRun},
    {"encoded-script-host", ArgumentSign::encodedScriptHost},
    {"remote-installer", ArgumentSign::remoteInstaller},
}};

enum class Section {
    none,
    interpreters,
    argumentSigns,
    wrapperFolders,
    recycleLike,
    payloadNames,
    scriptExtensions,
    executableExtensions,
    decoyExtensions,
    candidateExtensions,
    candidateNames,
    untouchedFolders,
    settings,
};

constexpr std::array<std::pair<std::string_view, Section>, 12> sectionNames = {{
    {"interpreters", Section::interpreters},
    {"argument-signs", Section::argumentSigns},
    {"wrapper-folders", Section::wrapperFolders},
    {"recycle-like-folders", Section::recycleLike},
    {"payload-names", Section::payloadNames},
    {"script-extensions", Section::scriptExtensions},
    {"executable-extensions", Section::executableExtensions},
    {"decoy-extensions", Section::decoyExtensions},
    {"candidate-extensions", Section::candidateExtensions},
    {"candidate-names", Section::candidateNames},
    {"untouched-folders", Section::untouchedFolders},
    {"settings", Section::settings},
}};

std::vector<std::string>* listOf(FullScanRules& rules, Section section) {
    switch (section) {
    case Section::interpreters:
        return &rules.interpreters;
    case Section::wrapperFolders:
        return &rules.wrapperNames;
    case Section::recycleLike:
        return &rules.recycleLikeNames;
    case Section::payloadNames:
        return &rules.payloadPatterns;
    case Section::scriptExtensions:
        return &rules.scriptExtensions;
    case Section::executableExtensions:
        return &rules.executableExtensions;
    case Section::decoyExtensions:
        return &rules.decoyExtensions;
    case Section::candidateExtensions:
        return &rules.candidateExtensions;
    case Section::candidateNames:
        return &rules.candidateNames;
    case Section::untouchedFolders:
        return &rules.untouchedFolders;
    default:
        return nullptr;
    }
}

bool extensionSection(Section section) {
    return section == Section::scriptExtensions || section == Section::executableExtensions ||
           section == Section::decoyExtensions || section == Section::candidateExtensions;
}

RulesLoad failure(std::string error) {
    return RulesLoad{std::nullopt, std::move(error)};
}

std::string lineError(std::size_t number, std::string_view what) {
    return "line " + std::to_string(number) + ": " + std::string(what);
}

// A setting "key = value" in [settings].
std::optional<std::string> applySetting(FullScanRules& rules, std::string_view key,
                                        std::string_view value) {
    if (key == "padding-threshold") {
        std::size_t n = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (ec != std::errc() || end != value.data() + value.size() || n < 2 || n > 4096) {
            return "padding-threshold must be a number from 2 to 4096";
        }
        rules.paddingThreshold = n;
        return std::nullopt;
    }
    if (key == "wrapper-drive-label") {
        if (value != "yes" && value != "no") {
            return "wrapper-drive-label must be yes or no";
        }
        rules.wrapperDriveLabel = value == "yes";
        return std::nullopt;
    }
    return "unknown setting " + std::string(key);
}

bool inList(const std::vector<std::string>& list, std::string_view lowered) {
    return std::find(list.begin(), list.end(), lowered) != list.end();
}

// The last extension of a name, lower case with its dot; empty without one.
std::string extensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return {};
    }
    return lowerAsciiText(name.substr(dot));
}

} // namespace

bool matchesNamePattern(std::string_view pattern, std::string_view name) {
    // Most names end otherwise than the pattern's literal tail: decided without the table.
    const std::size_t wild = pattern.find_last_of("*?#");
    const std::string_view tail =
        wild == std::string_view::npos ? pattern : pattern.substr(wild + 1);
    if (tail.size() > name.size() ||
        !std::equal(tail.begin(), tail.end(), name.end() - static_cast<std::ptrdiff_t>(tail.size()),
                    [](char p, char n) { return lowerAscii(p) == lowerAscii(n); })) {
        return false;
    }
    if (wild == std::string_view::npos) {
        return tail.size() == name.size();
    }
    const std::string text = lowerAsciiText(name);
    // reach[j]: the pattern so far matches text[0, j).
    std::vector<char> reach(text.size() + 1, 0);
    std::vector<char> next(text.size() + 1, 0);
    reach[0] = 1;
    auto digit = [&](std::size_t j) { return text[j] >= '0' && text[j] <= '9'; };
    for (const char p : pattern) {
        std::fill(next.begin(), next.end(), 0);
        for (std::size_t j = 0; j <= text.size(); ++j) {
            if (!reach[j]) {
                continue;
            }
            if (p == '*') {
                for (std::size_t k = j; k <= text.size(); ++k) {
                    next[k] = 1;
                }
                break; // every later j is covered already
            }
            if (j == text.size()) {
                continue;
            }
            if (p == '?') {
                const std::size_t length = std::max<std::size_t>(1, utf8Length(text, j));
                next[std::min(text.size(), j + length)] = 1;
            } else if (p == '#') {
                for (std::size_t k = j; k < text.size() && digit(k); ++k) {
                    next[k + 1] = 1;
                }
            } else if (text[j] == lowerAscii(p)) {
                next[j + 1] = 1;
            }
        }
        reach.swap(next);
    }
    return reach[text.size()] != 0;
}

bool FullScanRules::isInterpreter(std::string_view fileName) const {
    std::string name = lowerAsciiText(fileName);
    if (inList(interpreters, name)) {
        return true;
    }
    return extensionOf(name).empty() && inList(interpreters, name + ".exe");
}

bool FullScanRules::isWrapperName(std::string_view folderName) const {
    return inList(wrapperNames, lowerAsciiText(folderName));
}

bool FullScanRules::isRecycleLike(std::string_view folderName) const {
    return inList(recycleLikeNames, lowerAsciiText(folderName));
}

bool FullScanRules::isPayloadName(std::string_view fileName) const {
    return std::any_of(payloadPatterns.begin(), payloadPatterns.end(),
                       [&](const std::string& p) { return matchesNamePattern(p, fileName); });
}

bool FullScanRules::isScript(std::string_view fileName) const {
    const std::string ext = extensionOf(fileName);
    return !ext.empty() && inList(scriptExtensions, ext);
}

bool FullScanRules::isExecutable(std::string_view fileName) const {
    const std::string ext = extensionOf(fileName);
    return !ext.empty() && inList(executableExtensions, ext);
}

bool FullScanRules::isCandidate(std::string_view fileName) const {
    const std::string ext = extensionOf(fileName);
    return (!ext.empty() && inList(candidateExtensions, ext)) ||
           inList(candidateNames, lowerAsciiText(fileName));
}

bool FullScanRules::isUntouched(std::string_view folderName) const {
    return inList(untouchedFolders, lowerAsciiText(folderName));
}

RulesLoad parseFullScanRules(std::string_view text) {
    if (text.size() > maxRulesBytes) {
        return failure("the file is larger than " + std::to_string(maxRulesBytes) + " bytes");
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    if (!isValidUtf8(text)) {
        return failure("the file is not UTF-8");
    }
    FullScanRules rules;
    Section section = Section::none;
    std::size_t entries = 0;
    std::size_t number = 0;
    bool sawVersion = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (line.size() > maxRulesLineBytes) {
            return failure(lineError(number, "too long"));
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        line = trim(line);
        if (!sawVersion) {
            const std::size_t space = line.find(' ');
            if (line.substr(0, space) != magic || space == std::string_view::npos) {
                return failure("not a rules file: the first line is not \"" + std::string(magic) +
                               " N\"");
            }
            if (trim(line.substr(space + 1)) != std::to_string(fullScanRulesVersion)) {
                return failure("unknown version " + std::string(trim(line.substr(space + 1))));
            }
            rules.version = fullScanRulesVersion;
            sawVersion = true;
            continue;
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return failure(lineError(number, "a section name without ']'"));
            }
            const std::string_view name = line.substr(1, line.size() - 2);
            const auto* found = std::find_if(sectionNames.begin(), sectionNames.end(),
                                             [&](const auto& s) { return s.first == name; });
            if (found == sectionNames.end()) {
                return failure(lineError(number, "unknown section [" + std::string(name) + "]"));
            }
            section = found->second;
            continue;
        }
        if (++entries > maxRulesEntries) {
            return failure(
                lineError(number, "more than " + std::to_string(maxRulesEntries) + " entries"));
        }
        if (section == Section::none) {
            return failure(lineError(number, "an entry before any section"));
        }
        if (section == Section::settings || section == Section::argumentSigns) {
            const std::size_t equals = line.find('=');
            if (equals == std::string_view::npos) {
                return failure(lineError(number, "expected \"key = value\""));
            }
            const std::string_view key = trim(line.substr(0, equals));
            const std::string_view value = trim(line.substr(equals + 1));
            if (section == Section::settings) {
                if (auto error = applySetting(rules, key, value)) {
                    return failure(lineError(number, *error));
                }
                continue;
            }
            const auto* sign = std::find_if(signNames.begin(), signNames.end(),
                                            [&](const auto& s) { return s.first == key; });
            if (sign == signNames.end()) {
                return failure(lineError(number, "unknown argument sign " + std::string(key)));
            }
            const std::optional<std::string> unescaped = unescape(value);
            if (!unescaped) {
                return failure(lineError(number, "a bad escape (write \\uXXXX or \\\\)"));
            }
            const std::string pattern = collapsedLower(*unescaped);
            if (pattern.find_first_not_of('*') == std::string::npos) {
                return failure(lineError(number, "an argument sign matches everything"));
            }
            rules.argumentSigns.push_back(ArgumentPattern{sign->second, pattern});
            continue;
        }
        const std::optional<std::string> value = unescape(line);
        if (!value) {
            return failure(lineError(number, "a bad escape (write \\uXXXX or \\\\)"));
        }
        if (extensionSection(section) && (value->size() < 2 || value->front() != '.' ||
                                          value->find('.', 1) != std::string::npos)) {
            return failure(lineError(number, "an extension is a dot and a name: .exe"));
        }
        if (section == Section::payloadNames &&
            value->find_first_not_of("*#?") == std::string::npos) {
            return failure(lineError(number, "a payload name matches everything"));
        }
        listOf(rules, section)->push_back(lowerAsciiText(*value));
    }
    if (!sawVersion) {
        return failure("the file is empty");
    }
    if (rules.interpreters.empty() || rules.candidateExtensions.empty()) {
        return failure("no interpreters or no candidate extensions");
    }
    return RulesLoad{std::move(rules), {}};
}

RulesLoad loadFullScanRules(FileSystem& fs, const std::string& path) {
    const std::unique_ptr<ByteReader> reader = fs.openRead(path);
    if (!reader) {
        return failure("cannot open " + path);
    }
    std::string text;
    char buffer[16 * 1024];
    while (text.size() <= maxRulesBytes) {
        const std::optional<std::size_t> got = reader->read(buffer, sizeof buffer);
        if (!got) {
            return failure("cannot read " + path);
        }
        if (*got == 0) {
            return parseFullScanRules(text);
        }
        text.append(buffer, std::min(*got, sizeof buffer));
    }
    return failure("the file is larger than " + std::to_string(maxRulesBytes) + " bytes");
}

} // namespace tw
