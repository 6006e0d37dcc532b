#include "scan/FullScanVerdict.h"

#include "ports/Utf8.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tw {
namespace {

bool sameName(std::string_view a, std::string_view b) {
    return lowerAsciiText(a) == lowerAsciiText(b);
}

bool blankByte(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The pattern's pieces between '*' found in order anywhere in text.
bool containsPattern(std::string_view text, std::string_view pattern) {
    std::size_t from = 0;
    while (!pattern.empty()) {
        const std::size_t star = pattern.find('*');
        const std::string_view piece = pattern.substr(0, star);
        if (!piece.empty()) {
            const std::size_t at = text.find(piece, from);
            if (at == std::string_view::npos) {
                return false;
            }
            from = at + piece.size();
        }
        if (star == std::string_view::npos) {
            break;
        }
        pattern.remove_prefix(star + 1);
    }
    return true;
}

std::size_t longestBlankRun(std::string_view s) {
    std::size_t longest = 0;
    std::size_t run = 0;
    for (const char c : s) {
        run = blankByte(c) ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

std::string_view lastPart(std::string_view path) {
    const std::size_t sep = path.find_last_of("\\/");
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

std::string_view stemOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string_view extensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && blankByte(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blankByte(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool hiddenAttr(const std::optional<std::uint32_t>& attributes) {
    return attributes && (*attributes & attr::hidden) != 0;
}

std::string quoted(std::string_view name) {
    return "“" + std::string(name) + "”";
}

constexpr std::size_t maxCandidates = 32;
constexpr std::size_t maxCandidateBytes = 1024;

// Texts in the arguments that may be paths: each token (quotes kept together), the part of
// a "file,Export" token before its comma, and what follows "explorer" up to the next command.
std::vector<std::string> pathCandidates(std::string_view args, int depth = 0) {
    std::vector<std::vector<std::string>> segments(1);
    std::string token;
    bool inQuotes = false;
    bool quotedToken = false;
    std::vector<std::string> quotedCommands; // "cmd /c "start x.vbs & exit"" holds commands
    auto endToken = [&] {
        if (!token.empty() || quotedToken) {
            segments.back().push_back(token);
        }
        if (quotedToken && depth == 0 && token.find_first_of(" \t&|") != std::string::npos) {
            quotedCommands.push_back(token);
        }
        token.clear();
        quotedToken = false;
    };
    for (const char c : args) {
        if (c == '"') {
            inQuotes = !inQuotes;
            quotedToken = true;
        } else if (!inQuotes && blankByte(c)) {
            endToken();
        } else if (!inQuotes &&
                   (c == '&' || c == '|' || c == '<' || c == '>' || c == '(' || c == ')')) {
            endToken();
            if (!segments.back().empty()) {
                segments.emplace_back();
            }
        } else {
            token += c;
        }
    }
    endToken();

    std::vector<std::string> out;
    auto add = [&](std::string text, bool anyWord) {
        text = std::string(trimBlanks(text));
        // A bare word is a command or a switch's value far more often than a file.
        if (!anyWord && text.find_first_of(".\\/") == std::string::npos) {
            return;
        }
        while (!text.empty() && (text.back() == ';' || text.back() == ',')) {
            text.pop_back();
        }
        // A quoted command ("start x.vbs & exit") is read for its own tokens, not as a path.
        if (text.empty() || text.size() > maxCandidateBytes || text.front() == '/' ||
            text.find_first_of("&|<>") != std::string::npos || text.front() == '-' ||
            text.find("://") != std::string::npos || text.rfind("\\\\", 0) == 0 ||
            out.size() == maxCandidates || std::find(out.begin(), out.end(), text) != out.end()) {
            return;
        }
        out.push_back(std::move(text));
    };
    for (const std::string& inner : quotedCommands) {
        for (std::string& c : pathCandidates(inner, depth + 1)) {
            add(std::move(c), true);
        }
    }
    for (const std::vector<std::string>& segment : segments) {
        for (std::size_t i = 0; i < segment.size(); ++i) {
            const std::string& t = segment[i];
            add(t, false);
            const std::size_t comma = t.find(',');
            if (comma != std::string::npos) {
                add(t.substr(0, comma), false);
            }
            const std::string program = lowerAsciiText(lastPart(t));
            if ((program == "explorer" || program == "explorer.exe") && i + 1 < segment.size()) {
                std::string rest;
                for (std::size_t k = i + 1; k < segment.size(); ++k) {
                    rest += (k > i + 1 ? " " : "") + segment[k];
                }
                add(rest, true);
            }
        }
    }
    return out;
}

// A path as a link may write it, as parts: the drive letter dropped, "." left out. absolute
// tells whether it started from the root.
std::optional<std::vector<std::string>> stickParts(std::string_view path, bool& absolute) {
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        path.remove_prefix(2);
        absolute = true;
    }
    if (!path.empty() && (path.front() == '\\' || path.front() == '/')) {
        absolute = true;
    }
    std::vector<std::string> parts;
    while (!path.empty()) {
        const std::size_t sep = path.find_first_of("\\/");
        const std::string_view part = path.substr(0, sep);
        path.remove_prefix(sep == std::string_view::npos ? path.size() : sep + 1);
        if (part.empty() || part == ".") {
            continue;
        }
        parts.emplace_back(part);
    }
    return parts;
}

// base + parts with ".." applied; nothing when it climbs above the root.
std::optional<std::vector<std::string>> resolved(std::vector<std::string> base,
                                                 const std::vector<std::string>& parts) {
    for (const std::string& part : parts) {
        if (part != "..") {
            base.push_back(part);
        } else if (base.empty()) {
            return std::nullopt;
        } else {
            base.pop_back();
        }
    }
    return base;
}

std::vector<std::string> splitStickPath(std::string_view path) {
    std::vector<std::string> parts;
    while (!path.empty()) {
        const std::size_t sep = path.find('/');
        if (sep != 0) {
            parts.emplace_back(path.substr(0, sep));
        }
        path.remove_prefix(sep == std::string_view::npos ? path.size() : sep + 1);
    }
    return parts;
}

std::string joinParts(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) {
        out += (out.empty() ? "" : "/") + part;
    }
    return out;
}

struct Named {
    std::string written; // as the link writes it
    std::string stickPath;
    Presence presence = Presence::absent;
};

// Where the link's texts lead on the stick: relative to its folder, its working folder and
// the root; absolute paths from the root only.
std::vector<Named> lookUpCandidates(const LinkFinding& finding,
                                    const std::vector<std::string>& candidates, bool& failed) {
    std::vector<std::vector<std::string>> bases;
    bases.push_back(splitStickPath(finding.folder));
    bool workingAbsolute = false;
    if (const auto working = stickParts(finding.link->workingDir, workingAbsolute);
        working && !finding.link->workingDir.empty()) {
        if (auto base =
                resolved(workingAbsolute ? std::vector<std::string>() : bases[0], *working)) {
            bases.push_back(std::move(*base));
        }
    }
    bases.emplace_back();

    std::vector<Named> found;
    for (const std::string& candidate : candidates) {
        bool absolute = false;
        const auto parts = stickParts(candidate, absolute);
        if (!parts || parts->empty()) {
            continue;
        }
        std::vector<std::string> tried;
        for (std::size_t b = absolute ? bases.size() - 1 : 0; b < bases.size(); ++b) {
            const auto full = resolved(bases[b], *parts);
            if (!full || full->empty()) {
                continue;
            }
            std::string stickPath = joinParts(*full);
            if (std::find(tried.begin(), tried.end(), stickPath) != tried.end()) {
                continue;
            }
            tried.push_back(stickPath);
            const Presence presence =
                finding.lookup ? finding.lookup(stickPath) : Presence::unknown;
            if (presence == Presence::unknown) {
                failed = true;
            }
            if (presence == Presence::file || presence == Presence::folder) {
                found.push_back(Named{candidate, std::move(stickPath), presence});
                break;
            }
        }
    }
    return found;
}

const std::array<std::pair<ArgumentSign, Sign>, 9> argumentSignMap = {{
    {ArgumentSign::opensFolder, Sign::opensFolder},
    {ArgumentSign::exitsAfterwards, Sign::exitsAfterwards},
    {ArgumentSign::encodedCommand, Sign::encodedCommand},
    {ArgumentSign::hiddenWindow, Sign::hiddenWindow},
    {ArgumentSign::policyBypass, Sign::policyBypass},
    {ArgumentSign::nonInteractive, Sign::nonInteractive},
    {ArgumentSign::downloadAndRun, Sign::downloadAndRun},
    {ArgumentSign::encodedScriptHost, Sign::encodedScriptHost},
    {ArgumentSign::remoteInstaller, Sign::remoteInstaller},
}};

std::string argumentReason(Sign sign) {
    switch (sign) {
    case Sign::opensFolder:
        return "运行后再打开文件夹（start explorer），掩人耳目";
    case Sign::exitsAfterwards:
        return "运行后立即退出命令窗口（& exit）";
    case Sign::encodedCommand:
        return "PowerShell 命令经过编码（-enc）";
    case Sign::hiddenWindow:
        return "以隐藏窗口运行（-w hidden）";
    case Sign::policyBypass:
        return "绕过脚本执行策略（-ep bypass）";
    case Sign::nonInteractive:
        return "以非交互方式运行（-noni）";
    case Sign::downloadAndRun:
        return "从网络下载并执行代码";
    case Sign::encodedScriptHost:
        return "以编码脚本方式运行（/e:VBScript.Encode）";
    case Sign::remoteInstaller:
        return "用 msiexec 从网络安装程序";
    default:
        return {};
    }
}

bool has(const std::vector<SignFound>& signs, Sign sign) {
    return std::any_of(signs.begin(), signs.end(),
                       [&](const SignFound& s) { return s.sign == sign; });
}

void add(std::vector<SignFound>& signs, Sign sign, std::string reason) {
    if (!has(signs, sign)) {
        signs.push_back(SignFound{sign, std::move(reason)});
    }
}

bool supporting(Sign sign) {
    switch (sign) {
    case Sign::opensFolder:
    case Sign::exitsAfterwards:
    case Sign::minimisedWindow:
    case Sign::paddedArguments:
    case Sign::encodedCommand:
    case Sign::downloadAndRun:
    case Sign::encodedScriptHost:
    case Sign::remoteInstaller:
        return true;
    default:
        return false;
    }
}

bool independent(Sign sign) {
    return sign == Sign::interpreterTarget || sign == Sign::runsStickFile ||
           sign == Sign::imitatesHiddenItem || sign == Sign::namedLikeDrive ||
           sign == Sign::exploitForm;
}

// Two independent signs (the supporting ones counting as one) make a link malicious, but an
// interpreter with supporting signs only is asked about: the user's own tools look like that.
// An interpreter alone is the user's own shortcut to a tool.
Verdict linkVerdict(const std::vector<SignFound>& signs) {
    std::size_t strong = 0;
    bool beyondInterpreter = false;
    bool support = false;
    for (const SignFound& s : signs) {
        if (independent(s.sign)) {
            ++strong;
            beyondInterpreter = beyondInterpreter || s.sign != Sign::interpreterTarget;
        }
        support = support || supporting(s.sign);
    }
    const std::size_t count = strong + (support ? 1 : 0);
    if (count >= 2 && beyondInterpreter) {
        return Verdict::malicious;
    }
    if (count >= 2 || (count == 1 && (beyondInterpreter || support))) {
        return Verdict::suspicious;
    }
    return Verdict::clean;
}

// Decodes one UTF-8 character at s[i]; a bad byte decodes as 0xFFFFFFFF and length 1.
std::uint32_t decode(std::string_view s, std::size_t i, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::uint32_t cp = 0;
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07u;
    } else {
        length = 1;
        return 0xFFFFFFFF;
    }
    if (s.size() - i < length) {
        length = 1;
        return 0xFFFFFFFF;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            length = 1;
            return 0xFFFFFFFF;
        }
        cp = (cp << 6) | (c & 0x3Fu);
    }
    return cp;
}

// Characters that show nothing: blanks, controls, format characters and fillers.
bool invisible(std::uint32_t cp) {
    constexpr std::array<std::pair<std::uint32_t, std::uint32_t>, 24> ranges = {{
        {0x0000, 0x0020}, {0x007F, 0x00A0}, {0x00AD, 0x00AD},   {0x034F, 0x034F},
        {0x061C, 0x061C}, {0x115F, 0x1160}, {0x1680, 0x1680},   {0x180B, 0x180E},
        {0x2000, 0x200F}, {0x2028, 0x202F}, {0x205F, 0x206F},   {0x2800, 0x2800},
        {0x3000, 0x3000}, {0x3164, 0x3164}, {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},
        {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFFB}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
        {0x0600, 0x0605}, {0x06DD, 0x06DD}, {0x070F, 0x070F},   {0xFFFFFFFF, 0xFFFFFFFF},
    }};
    return std::any_of(ranges.begin(), ranges.end(),
                       [&](const auto& r) { return cp >= r.first && cp <= r.second; });
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "Name.{21EC2020-3AEA-1069-A2DD-08002B30309D}"
bool endsWithClsid(std::string_view name) {
    constexpr std::string_view shape = ".{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (name.size() < shape.size()) {
        return false;
    }
    const std::string_view tail = name.substr(name.size() - shape.size());
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == 'X' ? !isHex(tail[i]) : tail[i] != shape[i]) {
            return false;
        }
    }
    return true;
}

bool base64Char(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

} // namespace

LinkVerdict judgeLink(const LinkFinding& finding, const FullScanRules& rules) {
    LinkVerdict out;
    if (finding.link == nullptr) {
        return out;
    }
    const ShellLink& link = *finding.link;
    std::vector<SignFound>& signs = out.signs;

    const std::string target = link.target();
    std::string program(lastPart(target));
    if (sameName(program, "%comspec%")) {
        program = "cmd.exe"; // what the variable names on every Windows
    }
    const bool interpreter = !program.empty() && rules.isInterpreter(program);
    if (interpreter) {
        add(signs, Sign::interpreterTarget, "目标是命令解释程序 " + program);
    }
    if (link.exploitForm()) {
        add(signs, Sign::exploitForm,
            "指向控制面板并带有特殊文件夹数据块，只要显示图标就会加载代码");
    }

    // What the arguments say, read only where an interpreter runs them: programs of the
    // user's own take switches that look alike.
    if (interpreter) {
        const std::string args = collapsedLower(link.arguments);
        for (const ArgumentPattern& p : rules.argumentSigns) {
            if (containsPattern(args, p.pattern)) {
                for (const auto& [from, sign] : argumentSignMap) {
                    if (from == p.sign) {
                        add(signs, sign, argumentReason(sign));
                    }
                }
            }
        }
        if (link.showCommand == showcmd::minNoActive) {
            add(signs, Sign::minimisedWindow, "以最小化、不激活的窗口运行");
        }
    }
    if (rules.paddingThreshold > 0 && longestBlankRun(link.arguments) >= rules.paddingThreshold) {
        add(signs, Sign::paddedArguments, "参数中用大量空白字符把真实内容藏在属性窗口之外");
    }

    // Named like what the worm hid beside it, or like the drive.
    std::string_view stem = finding.name;
    if (stem.size() >= 4 && sameName(stem.substr(stem.size() - 4), ".lnk")) {
        stem.remove_suffix(4);
    }
    for (const Neighbour& n : finding.neighbours) {
        if (sameName(n.name, finding.name) || !hiddenAttr(n.attributes)) {
            continue;
        }
        if (sameName(n.name, stem) || (!n.folder && sameName(stemOf(n.name), stem))) {
            out.imitated.push_back(n.name);
            add(signs, Sign::imitatesHiddenItem, "与旁边被隐藏的" + quoted(n.name) + "同名");
        }
    }
    const std::string_view label = trimBlanks(finding.driveLabel);
    if (!label.empty() && sameName(trimBlanks(stem), label)) {
        add(signs, Sign::namedLikeDrive, "与磁盘卷标" + quoted(label) + "同名");
    }

    // Files and folders on the stick that the link hands to its interpreter or applet. A file
    // named like the link is the document it opens after the payload, never the payload.
    std::vector<std::string> candidates;
    if (interpreter) {
        candidates = pathCandidates(link.arguments);
    }
    if (link.idIntoControlPanel && !link.controlPanelItemPath.empty()) {
        candidates.insert(candidates.begin(), link.controlPanelItemPath);
    }
    for (const Named& named : lookUpCandidates(finding, candidates, out.lookupFailed)) {
        if (named.presence == Presence::folder) {
            out.namedFolders.push_back(named.stickPath);
            continue;
        }
        const std::string_view file = lastPart(named.stickPath);
        const bool imitatedFile =
            sameName(file, stem) ||
            std::any_of(out.imitated.begin(), out.imitated.end(),
                        [&](const std::string& n) { return sameName(n, file); });
        if (imitatedFile) {
            out.openedFiles.push_back(named.stickPath);
            continue;
        }
        out.namedFiles.push_back(named.stickPath);
        if (interpreter || link.exploitForm()) {
            add(signs, Sign::runsStickFile, "运行本盘上的文件 " + named.written);
        }
    }

    // Supporting signs after the independent ones, so that the reasons read in that order.
    std::stable_partition(signs.begin(), signs.end(),
                          [](const SignFound& s) { return independent(s.sign); });
    out.verdict = linkVerdict(signs);
    return out;
}

PayloadVerdict judgePayload(const PayloadFinding& finding, const FullScanRules& rules) {
    PayloadVerdict out;
    std::vector<SignFound>& signs = out.signs;
    const bool executable = rules.isExecutable(finding.name) || rules.isScript(finding.name);
    std::size_t kinds = 0;
    auto kind = [&](Sign sign, std::string reason) {
        add(signs, sign, std::move(reason));
        ++kinds;
    };

    if (finding.encodedScript) {
        kind(Sign::encodedScript, "内容是编码过的脚本（#@~^）");
    }
    bool imitatesHiddenFolder = false;
    if (rules.isExecutable(finding.name)) {
        const std::string_view stem = stemOf(finding.name);
        for (const Neighbour& n : finding.neighbours) {
            if (n.folder && sameName(n.name, stem)) {
                kind(Sign::folderNamedExecutable, "与旁边的文件夹" + quoted(n.name) + "同名");
                imitatesHiddenFolder = hiddenAttr(n.attributes);
                break;
            }
        }
        std::string_view inner = stem;
        while (!inner.empty() && (blankByte(inner.back()) || inner.back() == '.')) {
            inner.remove_suffix(1);
        }
        const std::size_t dot = inner.rfind('.');
        if (dot != std::string_view::npos && dot > 0) {
            const std::string ext = lowerAsciiText(inner.substr(dot));
            if (std::find(rules.decoyExtensions.begin(), rules.decoyExtensions.end(), ext) !=
                rules.decoyExtensions.end()) {
                kind(Sign::doubleExtension, "双重扩展名，把程序伪装成" + ext + " 文件");
            }
        }
    }
    if (executable && finding.name.find("\xE2\x80\xAE") != std::string::npos) {
        kind(Sign::rightToLeftOverride, "文件名含反向显示字符，伪装了扩展名");
    }
    if (finding.besideMaliciousPayload && sameName(extensionOf(finding.name), ".dll")) {
        kind(Sign::sideLoadedLibrary, "与恶意程序放在一起、会被它加载的库文件");
    }
    if (rules.isPayloadName(finding.name)) {
        kind(Sign::payloadName, "文件名符合蠕虫载荷的命名方式");
    }

    if (hiddenAttr(finding.attributes)) {
        add(signs, Sign::hiddenItem, "被设为隐藏");
    }
    if (imitatesHiddenFolder) {
        add(signs, Sign::imitatesHiddenItem, "同名的文件夹被隐藏");
    }
    if (finding.namedByMaliciousLink) {
        add(signs, Sign::namedByMaliciousLink, "被恶意快捷方式运行");
    }
    if (finding.insideWrapper) {
        add(signs, Sign::insideWrapper, "位于蠕虫建立的隐藏文件夹中");
    }
    const std::vector<std::string> parts = splitStickPath(finding.folder);
    if (std::any_of(parts.begin(), parts.end(),
                    [&](const std::string& p) { return rules.isRecycleLike(p); })) {
        add(signs, Sign::insideRecycleLike, "位于移动磁盘上本不应有的回收站文件夹中");
        // No stick keeps programs in a recycle bin: that is the payload's kind.
        if (executable) {
            ++kinds;
        }
    }

    if (finding.namedByMaliciousLink || (kinds > 0 && signs.size() >= 2)) {
        out.verdict = Verdict::malicious;
    } else if (kinds > 0) {
        out.verdict = Verdict::suspicious;
    }
    if (out.verdict == Verdict::clean) {
        signs.clear();
    }
    return out;
}

FolderVerdict judgeFolder(const FolderFinding& finding, const FullScanRules& rules) {
    FolderVerdict out;
    if (rules.isUntouched(finding.name)) {
        return out;
    }
    std::vector<SignFound>& signs = out.signs;
    const bool invisibleText = invisibleName(finding.name);
    if (rules.isWrapperName(finding.name)) {
        add(signs, Sign::wrapperName, "文件夹名是蠕虫常用的名称");
    }
    if (invisibleText) {
        add(signs, Sign::invisibleName, "文件夹名看不见、无法输入");
    }
    const std::string_view label = trimBlanks(finding.driveLabel);
    if (rules.wrapperDriveLabel && !label.empty() && sameName(finding.name, label)) {
        add(signs, Sign::folderLikeDrive, "文件夹与磁盘卷标" + quoted(label) + "同名");
    }
    if (finding.desktopIni && desktopIniHasClsid(*finding.desktopIni)) {
        add(signs, Sign::desktopIniDisguise, "desktop.ini 用 CLSID 把文件夹伪装成系统文件夹");
    }
    if (endsWithClsid(finding.name)) {
        add(signs, Sign::clsidFolderName, "文件夹名带 CLSID 后缀，伪装成系统文件夹");
    }
    out.wrapper = !signs.empty() && hiddenAttr(finding.attributes);
    if (out.wrapper) {
        add(signs, Sign::hiddenItem, "被设为隐藏");
    } else {
        signs.clear();
    }
    out.needsVisibleName = out.wrapper && invisibleText;
    if (rules.isRecycleLike(finding.name)) {
        out.recycleLike = true;
        add(signs, Sign::recycleLikeFolder, "移动磁盘上本不应有的回收站文件夹");
    }
    return out;
}

bool invisibleName(std::string_view utf8Name) {
    for (std::size_t i = 0; i < utf8Name.size();) {
        std::size_t length = 1;
        if (!invisible(decode(utf8Name, i, length))) {
            return false;
        }
        i += length;
    }
    return true;
}

bool startsEncodedScript(std::span<const unsigned char> head) {
    std::size_t at = 0;
    if (head.size() >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        at = 3;
    }
    while (at < head.size() && at < 64 && blankByte(static_cast<char>(head[at]))) {
        ++at;
    }
    constexpr std::string_view start = "#@~^";
    if (head.size() - at < start.size() + 8) {
        return false;
    }
    for (std::size_t i = 0; i < start.size(); ++i) {
        if (head[at + i] != static_cast<unsigned char>(start[i])) {
            return false;
        }
    }
    at += start.size();
    for (std::size_t i = 0; i < 6; ++i) {
        if (!base64Char(head[at + i])) {
            return false;
        }
    }
    return head[at + 6] == '=' && head[at + 7] == '=';
}

bool desktopIniHasClsid(std::string_view text) {
    // Explorer writes desktop.ini in UTF-16 as often as in ANSI; the keys are ASCII.
    std::string ascii;
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
        static_cast<unsigned char>(text[1]) == 0xFE) {
        for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
            ascii += text[i + 1] == 0 ? text[i] : '?';
        }
        text = ascii;
    }
    bool inShellClassInfo = false;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = trimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.front() == '[') {
            inShellClassInfo = sameName(line, "[.ShellClassInfo]");
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inShellClassInfo || equals == std::string_view::npos) {
            continue;
        }
        const std::string key = lowerAsciiText(trimBlanks(line.substr(0, equals)));
        if ((key == "clsid" || key == "clsid2") &&
            line.find('{', equals) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

std::string verdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::malicious:
        return "恶意";
    case Verdict::suspicious:
        return "可疑";
    case Verdict::clean:
        break;
    }
    return "正常";
}

} // namespace tw
