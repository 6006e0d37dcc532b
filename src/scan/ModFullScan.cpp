#include "scan/ModFullScan.h"

#include "drive/RemoveToQuarantine.h"
#include "scan/AutorunParser.h"
#include "scan/FullScanReport.h"
#include "scan/FullScanVerdict.h"
#include "scan/ShellLink.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <span>
#include <vector>

namespace tw {

namespace {

using std::chrono::milliseconds;

// The window gets its events at least this often, and the progress text no more often.
constexpr std::size_t entriesPerSlice = 64;
constexpr milliseconds progressInterval{250};
// The first bytes read of a candidate that is not a link: enough for the encoded-script mark.
constexpr std::size_t headBytes = 64;
// desktop.ini is read this far; a disguise sits in its first lines.
constexpr std::size_t desktopIniBytes = 8 * 1024;
// The names a wrapper that cannot be seen or typed gets, with " (2)" and on where taken.
constexpr const char* visibleWrapperName = "Tarnwick恢复的文件夹";

constexpr std::uint32_t hiddenAndSystem = attr::hidden | attr::system;

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix) {
    return name.size() >= suffix.size() &&
           equalsIgnoringCase(name.substr(name.size() - suffix.size()), suffix);
}

// Items the scan never shows again whatever the rules say: Windows' own folders on a drive,
// the protective folder of drive immunization, and the files Explorer keeps hidden in the
// user's folders.
bool neverUnhidden(std::string_view name) {
    for (const std::string_view kept : {"system volume information", "$recycle.bin", "$extend",
                                        "autorun.inf", "desktop.ini", "thumbs.db"}) {
        if (equalsIgnoringCase(name, kept)) {
            return true;
        }
    }
    return false;
}

std::string reasonsOf(const std::vector<SignFound>& signs) {
    std::string text;
    for (const SignFound& sign : signs) {
        if (sign.reason.empty() || text.find(sign.reason) != std::string::npos) {
            continue;
        }
        if (!text.empty()) {
            text += "、";
        }
        text += sign.reason;
    }
    return text;
}

std::string hexWord(std::uint32_t word) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    bool started = false;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const auto digit = (word >> static_cast<unsigned>(shift)) & 0xFu;
        if (digit != 0 || started || shift == 0) {
            text += digits[digit];
            started = true;
        }
    }
    return text;
}

// A folder waiting to be walked.
struct PendingFolder {
    std::string path;
    std::string stickPath; // relative to the root, '/' between parts; "" for the root
    std::string name;
    std::optional<std::uint32_t> attributes;
    bool insideWrapper = false;
};

class FullScanRun {
public:
    FullScanRun(Ports& ports, const std::string& drivePath, const FullScanRules& rules,
                FullScanOutput& output, const FullScanOptions& options)
        : m_ports(ports), m_fs(ports.fs), m_rules(rules), m_out(output), m_options(options),
          m_root(drivePath), m_sep(ports.fs.separator()),
          m_report(drivePath,
                   std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count(),
                   options.dryRun) {
        m_summary.dryRun = options.dryRun;
    }

    FullScanSummary run() {
        const Drive drive{m_root, drivetype::removable, {}};
        m_label = m_fs.volumeLabel(drive);
        m_report.addHeader("文件系统：" + m_fs.fileSystemName(drive));
        m_report.addHeader("卷标：" + (m_label.empty() ? std::string("（未知）") : m_label));
        m_report.addHeader("规则文件版本：" + std::to_string(m_rules.version));
        m_out.say("正在初始化完全扫描引擎，请稍候......", std::nullopt);

        std::vector<PendingFolder> stack;
        stack.push_back(PendingFolder{m_root, "", "", std::nullopt, false});
        while (!stack.empty() && !m_ended) {
            PendingFolder folder = std::move(stack.back());
            stack.pop_back();
            visit(std::move(folder), stack);
        }
        if (!m_ended) {
            m_summary.end = FullScanEnd::finished;
        }
        finish();
        return m_summary;
    }

private:
    // Between items: the window's events, the progress text, and the user's stop.
    void beat(const std::string& folder) {
        m_ports.clock.handleEvents();
        if (!m_ended && m_out.stopRequested()) {
            end(FullScanEnd::stopped);
            return;
        }
        const milliseconds now = m_ports.clock.now();
        if (!m_progressShown || now - m_lastProgress >= progressInterval) {
            m_progressShown = true;
            m_lastProgress = now;
            m_out.progress("正在完全扫描" + folder + "......（已检查" +
                           std::to_string(m_summary.items) + "项）");
        }
    }

    void end(FullScanEnd how) {
        m_ended = true;
        m_summary.end = how;
    }

    std::string childStickPath(const std::string& stickPath, const std::string& name) const {
        return stickPath.empty() ? name : stickPath + "/" + name;
    }

    // A path the verdict names stays on the drive: no part climbs out of it.
    static bool onStick(const std::string& stickPath) {
        std::size_t start = 0;
        while (start <= stickPath.size()) {
            auto end = stickPath.find('/', start);
            if (end == std::string::npos) {
                end = stickPath.size();
            }
            const std::string_view part(stickPath.data() + start, end - start);
            if (part.empty() || part == "..") {
                return false;
            }
            start = end + 1;
        }
        return !stickPath.empty();
    }

    // A path the verdict names, relative to the root with '/', as a path of this drive.
    std::string pathOf(const std::string& stickPath) const {
        std::string relative = stickPath;
        std::replace(relative.begin(), relative.end(), '/', m_sep);
        return joinPath(m_fs, m_root, relative);
    }

    std::optional<std::vector<unsigned char>> readHead(const std::string& path, std::size_t max) {
        auto reader = m_fs.openRead(path);
        if (!reader) {
            return std::nullopt;
        }
        std::vector<unsigned char> bytes(max);
        std::size_t have = 0;
        while (have < max) {
            const auto n = reader->read(reinterpret_cast<char*>(bytes.data() + have), max - have);
            if (!n) {
                return std::nullopt;
            }
            if (*n == 0) {
                break;
            }
            have += *n;
        }
        bytes.resize(have);
        return bytes;
    }

    void visit(PendingFolder folder, std::vector<PendingFolder>& stack) {
        beat(folder.path);
        if (m_ended) {
            return;
        }
        auto entries = m_fs.list(folder.path);
        if (!entries) {
            unreadableFolder(folder);
            return;
        }
        // In name order: the same stick gives the same report on every platform.
        std::sort(entries->begin(), entries->end(),
                  [](const EntryInfo& a, const EntryInfo& b) { return a.name < b.name; });
        bool insideWrapper = folder.insideWrapper;
        if (!folder.stickPath.empty()) {
            insideWrapper = judgeThisFolder(folder, *entries) || insideWrapper;
            if (folder.path.empty()) {
                return; // renamed, and the new name could not be listed
            }
        }

        std::vector<Neighbour> neighbours;
        neighbours.reserve(entries->size());
        std::size_t sinceBeat = 0;
        for (const EntryInfo& entry : *entries) {
            ++m_summary.items;
            if (entry.kind == EntryKind::file || entry.kind == EntryKind::folder) {
                neighbours.push_back(
                    Neighbour{entry.name, entry.kind == EntryKind::folder, entry.attributes});
                if (!entry.attributes) {
                    attributesUnreadable();
                }
            }
        }
        // Links first, so that what a malicious one names is known before the files beside it.
        for (const EntryInfo& entry : *entries) {
            if (entry.kind == EntryKind::file && endsWithIgnoringCase(entry.name, ".lnk")) {
                if (++sinceBeat % entriesPerSlice == 0) {
                    beat(folder.path);
                }
                if (m_ended) {
                    return;
                }
                link(folder, entry, neighbours);
            }
        }
        for (const EntryInfo& entry : *entries) {
            if (entry.kind != EntryKind::file || endsWithIgnoringCase(entry.name, ".lnk")) {
                continue;
            }
            if (++sinceBeat % entriesPerSlice == 0) {
                beat(folder.path);
            }
            if (m_ended) {
                return;
            }
            if (folder.stickPath.empty() && equalsIgnoringCase(entry.name, "autorun.inf")) {
                autorun(entry);
            } else {
                payload(folder, entry, neighbours, insideWrapper);
            }
        }
        // Folders are walked after this one's files, in name order; links and devices never.
        for (auto it = entries->rbegin(); it != entries->rend(); ++it) {
            if (it->kind == EntryKind::folder) {
                stack.push_back(PendingFolder{it->path, childStickPath(folder.stickPath, it->name),
                                              it->name, it->attributes, insideWrapper});
            }
        }
    }

    void unreadableFolder(const PendingFolder& folder) {
        if (folder.stickPath.empty() || !m_fs.isReady(Drive{m_root, drivetype::removable, {}})) {
            end(FullScanEnd::unreadable);
            return;
        }
        m_report.add("[无法读取] " + folder.path);
        ++m_summary.failed;
    }

    void attributesUnreadable() {
        if (m_summary.attributesUnreadable) {
            return;
        }
        m_summary.attributesUnreadable = true;
        m_report.addHeader("文件属性：该驱动器的文件系统无法读取文件属性，隐藏项检查已跳过。");
        m_out.say("无法读取" + m_root + "盘的文件属性，已跳过隐藏项检查！", std::nullopt);
    }

    // A wrapper the worm made: shown again, its disguise removed, a name given where it has
    // none that can be seen. True when it is one.
    bool judgeThisFolder(PendingFolder& folder, std::vector<EntryInfo>& entries) {
        FolderFinding finding;
        finding.name = folder.name;
        const auto cut = folder.stickPath.rfind('/');
        finding.folder = cut == std::string::npos ? "" : folder.stickPath.substr(0, cut);
        // As the worm left it, also where a link beside it has shown it again since.
        finding.attributes = folder.attributes;
        finding.driveLabel = m_label;
        const EntryInfo* desktopIni = nullptr;
        for (const EntryInfo& entry : entries) {
            if (entry.kind == EntryKind::file && equalsIgnoringCase(entry.name, "desktop.ini")) {
                desktopIni = &entry;
                if (const auto head = readHead(entry.path, desktopIniBytes)) {
                    finding.desktopIni = std::string(head->begin(), head->end());
                }
            }
        }
        const FolderVerdict verdict = judgeFolder(finding, m_rules);
        if (!verdict.wrapper || neverUnhidden(folder.name) || m_rules.isUntouched(folder.name)) {
            return false;
        }
        ++m_summary.threatsFound;
        const std::string reasons = reasonsOf(verdict.signs);
        m_report.add("[发现] 病毒隐藏文件用的文件夹 " + folder.path + "（" + reasons + "）");
        m_out.say("发现病毒隐藏文件用的文件夹" + folder.path + "（" + reasons + "）",
                  colors::darkRed);
        if (desktopIni != nullptr && finding.desktopIni &&
            desktopIniHasClsid(*finding.desktopIni)) {
            quarantine(desktopIni->path, condemned::fullScanDisguise, "伪装文件夹的desktop.ini",
                       "把文件夹伪装成系统文件夹");
        }
        restore(folder.path, folder.name);
        if (verdict.needsVisibleName) {
            giveVisibleName(folder);
            if (folder.path.empty()) {
                return true;
            }
            // Listed again under its new name, so that the paths below it are right.
            auto relisted = m_fs.list(folder.path);
            if (!relisted) {
                folder.path.clear();
                return true;
            }
            entries = std::move(*relisted);
            std::sort(entries.begin(), entries.end(),
                      [](const EntryInfo& a, const EntryInfo& b) { return a.name < b.name; });
        }
        return true;
    }

    void giveVisibleName(PendingFolder& folder) {
        const std::string parent = folder.path.substr(0, folder.path.size() - folder.name.size());
        for (int n = 1; n < 100; ++n) {
            const std::string name =
                n == 1 ? std::string(visibleWrapperName)
                       : std::string(visibleWrapperName) + " (" + std::to_string(n) + ")";
            const std::string target = parent + name;
            const Presence there = m_fs.lookup(target);
            if (there == Presence::unknown) {
                break;
            }
            if (there != Presence::absent) {
                continue;
            }
            if (m_options.dryRun) {
                m_report.add("[演示] 将把无法显示名称的文件夹 " + folder.path + " 更名为 " + name);
                return;
            }
            (void)m_fs.renameItem(folder.path, name);
            // Judged by looking again: the new name is there and the old one gone.
            if (m_fs.lookup(target) == Presence::folder &&
                m_fs.lookup(folder.path) == Presence::absent) {
                m_report.add("[更名] " + folder.path + " → " + target);
                m_out.say("已将无法显示名称的文件夹更名为" + target + "！", colors::green);
                ++m_summary.restored;
                folder.path = target;
                folder.stickPath =
                    folder.stickPath.substr(0, folder.stickPath.size() - folder.name.size()) + name;
                folder.name = name;
                return;
            }
            break;
        }
        ++m_summary.failed;
        m_report.add("[更名失败] " + folder.path);
        m_out.say("无法显示名称的文件夹" + folder.path + "更名失败！", std::nullopt);
    }

    // Hidden and System cleared, every other bit kept; judged by reading the word again.
    void restore(const std::string& path, const std::string& name) {
        if (neverUnhidden(name) || m_rules.isUntouched(name) || !m_restored.insert(path).second) {
            return;
        }
        const auto before = m_fs.attributes(path);
        if (!before || (*before & hiddenAndSystem) == 0) {
            return;
        }
        const std::uint32_t wanted = *before & ~hiddenAndSystem;
        if (m_options.dryRun) {
            ++m_summary.restored;
            m_report.add("[演示] 将恢复被隐藏的 " + path + "：属性 " + hexWord(*before) + " → " +
                         hexWord(wanted));
            m_out.say("发现被隐藏的" + path + "（演示模式，未作更改）", std::nullopt);
            return;
        }
        (void)m_fs.setAttributes(path, wanted);
        const auto after = m_fs.attributes(path);
        if (after && (*after & hiddenAndSystem) == 0) {
            ++m_summary.restored;
            m_report.add("[恢复] " + path + "：属性 " + hexWord(*before) + " → " + hexWord(*after));
            m_out.say("已恢复被隐藏的" + path + "！", colors::green);
        } else {
            ++m_summary.failed;
            m_report.add("[恢复失败] " + path + "：属性仍为 " +
                         (after ? hexWord(*after) : std::string("（无法读取）")));
            m_out.say("恢复被隐藏的" + path + "失败！", std::nullopt);
        }
    }

    // Into the quarantine; judged by looking again.
    void quarantine(const std::string& path, const char* key, const std::string& what,
                    const std::string& reasons) {
        if (!m_removed.insert(path).second) {
            return;
        }
        ++m_summary.threatsFound;
        const std::string found = "发现" + what + path + "（" + reasons + "）";
        if (m_options.dryRun) {
            m_report.add("[演示] " + found + "：将移入隔离区");
            m_out.say(found + "，演示模式，未作更改", colors::darkRed);
            return;
        }
        m_out.say(found + "，正在处理......", colors::darkRed);
        const auto attributes = m_fs.attributes(path);
        const auto id = removeToQuarantineId(m_ports, path, key);
        if (m_fs.lookup(path) == Presence::absent) {
            ++m_summary.threatsRemoved;
            m_report.add("[隔离] " + path + "（" + what + "：" + reasons + "）隔离编号 " +
                         id.value_or("?") + "，原属性 " +
                         (attributes ? hexWord(*attributes) : std::string("（未知）")));
            m_out.say(what + path + "已移入隔离区！", colors::green);
        } else {
            ++m_summary.failed;
            m_report.add("[处理失败] " + path + "（" + what + "：" + reasons + "）");
            m_out.say(what + path + "处理失败！", std::nullopt);
        }
    }

    // A suspicious item: asked about, moved into the quarantine on Yes.
    void suspicious(const std::string& path, const std::string& reasons) {
        if (m_removed.count(path) != 0) {
            return;
        }
        ++m_summary.threatsFound;
        m_report.add("[可疑] " + path + "（" + reasons + "）");
        m_out.say("发现可疑文件" + path + "（" + reasons + "），等待处理......", colors::darkRed);
        const auto answer =
            m_options.dryRun
                ? std::nullopt
                : m_out.ask("发现可疑文件" + path + "（" + reasons + "），是否移入隔离区？");
        if (!answer || !*answer) {
            ++m_summary.unanswered;
            m_report.add(std::string("    ") + (answer ? "您选择保留，未作处理。" : "未作处理。"));
            return;
        }
        m_removed.insert(path);
        (void)removeToQuarantineId(m_ports, path, condemned::fullScanSuspicious);
        if (m_fs.lookup(path) == Presence::absent) {
            ++m_summary.threatsRemoved;
            m_report.add("    经您确认，已移入隔离区。");
            m_out.say("可疑文件" + path + "已移入隔离区！", colors::green);
        } else {
            ++m_summary.failed;
            m_report.add("    经您确认，但未能移入隔离区。");
            m_out.say("可疑文件" + path + "处理失败！", std::nullopt);
        }
    }

    void link(const PendingFolder& folder, const EntryInfo& entry,
              std::vector<Neighbour>& neighbours) {
        if (m_removed.count(entry.path) != 0) {
            return;
        }
        const auto bytes = readHead(entry.path, maxShellLinkBytes);
        if (!bytes) {
            return;
        }
        const auto parsed = parseShellLink(*bytes);
        if (!parsed) {
            return;
        }
        LinkFinding finding;
        finding.link = &*parsed;
        finding.name = entry.name;
        finding.folder = folder.stickPath;
        finding.neighbours = std::move(neighbours);
        finding.driveLabel = m_label;
        finding.lookup = [this](const std::string& stickPath) {
            return m_fs.lookup(pathOf(stickPath));
        };
        const LinkVerdict verdict = judgeLink(finding, m_rules);
        neighbours = std::move(finding.neighbours);
        if (verdict.verdict == Verdict::clean) {
            return;
        }
        const std::string reasons = reasonsOf(verdict.signs);
        if (verdict.verdict == Verdict::suspicious) {
            suspicious(entry.path, reasons);
            return;
        }
        quarantine(entry.path, condemned::fullScanLink, "恶意快捷方式", reasons);
        // What it runs goes too; what it imitates or opens is the user's, shown again.
        for (const std::string& named : verdict.namedFiles) {
            const bool imitated = std::any_of(
                verdict.imitated.begin(), verdict.imitated.end(), [&](const std::string& name) {
                    return equalsIgnoringCase(childStickPath(folder.stickPath, name), named);
                });
            const std::string name = named.substr(named.rfind('/') + 1);
            if (imitated || neverUnhidden(name) || !onStick(named)) {
                restore(pathOf(named), name);
                continue;
            }
            const auto cut = named.rfind('/');
            m_payloadFolders.insert(cut == std::string::npos ? "" : named.substr(0, cut));
            quarantine(pathOf(named), condemned::fullScanPayload, "病毒文件",
                       "被恶意快捷方式" + entry.name + "运行");
        }
        for (const std::string& name : verdict.imitated) {
            restore(joinPath(m_fs, folder.path, name), name);
        }
        for (const auto* opened : {&verdict.namedFolders, &verdict.openedFiles}) {
            for (const std::string& named : *opened) {
                if (onStick(named)) {
                    restore(pathOf(named), named.substr(named.rfind('/') + 1));
                }
            }
        }
        if (verdict.lookupFailed) {
            m_report.add("    注意：有的路径无法查询，可能漏掉了部分迹象。");
        }
    }

    void payload(const PendingFolder& folder, const EntryInfo& entry,
                 std::vector<Neighbour>& neighbours, bool insideWrapper) {
        if (m_removed.count(entry.path) != 0) {
            return;
        }
        const std::string& name = entry.name;
        const bool candidate = m_rules.isCandidate(name) || m_rules.isScript(name);
        if (!candidate && !m_rules.isExecutable(name) && !m_rules.isPayloadName(name)) {
            return;
        }
        PayloadFinding finding;
        finding.name = name;
        finding.folder = folder.stickPath;
        finding.attributes = entry.attributes;
        finding.insideWrapper = insideWrapper;
        finding.besideMaliciousPayload = m_payloadFolders.count(folder.stickPath) != 0;
        if (candidate) {
            if (const auto head = readHead(entry.path, headBytes)) {
                finding.encodedScript = startsEncodedScript(*head);
            }
        }
        finding.neighbours = std::move(neighbours);
        const PayloadVerdict verdict = judgePayload(finding, m_rules);
        neighbours = std::move(finding.neighbours);
        if (verdict.verdict == Verdict::malicious) {
            quarantine(entry.path, condemned::fullScanPayload, "病毒文件",
                       reasonsOf(verdict.signs));
            // The folder a program posed as, hidden so that only the program shows.
            const bool posedAsFolder =
                std::any_of(verdict.signs.begin(), verdict.signs.end(), [](const SignFound& s) {
                    return s.sign == Sign::folderNamedExecutable;
                });
            const std::string stem = name.substr(0, name.rfind('.'));
            for (const Neighbour& n : neighbours) {
                if (posedAsFolder && n.folder && equalsIgnoringCase(n.name, stem)) {
                    restore(joinPath(m_fs, folder.path, n.name), n.name);
                }
            }
        } else if (verdict.verdict == Verdict::suspicious) {
            suspicious(entry.path, reasonsOf(verdict.signs));
        }
    }

    // The root's autorun.inf goes, as in the quick scan; the program it starts goes without a
    // question where it is marked, and is asked about where it is a plain file.
    void autorun(const EntryInfo& entry) {
        AutorunParser parser;
        if (auto reader = m_fs.openText(entry.path)) {
            while (const auto line = reader->next()) {
                parser.feed(*line);
            }
        }
        const std::string target = parser.target();
        if (const auto onDrive =
                target.empty() ? std::nullopt : m_fs.resolveOnDrive(m_root, target);
            onDrive && m_fs.lookup(*onDrive) == Presence::file) {
            const auto attributes = m_fs.attributes(*onDrive);
            if (attributes && *attributes != attr::archive) {
                quarantine(*onDrive, condemned::fullScanAutorun, "AUTO类病毒",
                           "由autorun.inf启动，且带有隐藏、系统或只读属性");
            } else if (attributes) {
                suspicious(*onDrive, "由autorun.inf启动");
            }
        }
        quarantine(entry.path, condemned::fullScanAutorun, "病毒配置文件", "自动运行配置文件");
    }

    void finish() {
        if (m_summary.end == FullScanEnd::stopped) {
            m_report.add("扫描被您停止；停止前已完成的处理均已保留。");
        } else if (m_summary.end == FullScanEnd::unreadable) {
            m_report.add("驱动器已无法读取，扫描未能完成；已完成的处理均已保留。");
        }
        if (m_options.reportFolder.empty()) {
            return;
        }
        FullScanSummary withPath = m_summary;
        withPath.reportPath.clear();
        std::vector<std::string> summary = {"—— 总结 ——", fullScanEndText(withPath)};
        summary.push_back("共检查 " + std::to_string(m_summary.items) + " 项");
        summary.push_back("发现威胁 " + std::to_string(m_summary.threatsFound) + " 个");
        summary.push_back("移入隔离区 " + std::to_string(m_summary.threatsRemoved) + " 个");
        summary.push_back("恢复被隐藏的项目 " + std::to_string(m_summary.restored) + " 个");
        summary.push_back("留待处理的可疑项 " + std::to_string(m_summary.unanswered) + " 个");
        summary.push_back("未能完成的处理 " + std::to_string(m_summary.failed) + " 个");
        if (const auto path = m_report.write(m_fs, m_options.reportFolder, summary)) {
            m_summary.reportPath = *path;
        }
    }

    Ports& m_ports;
    FileSystem& m_fs;
    const FullScanRules& m_rules;
    FullScanOutput& m_out;
    const FullScanOptions& m_options;
    const std::string m_root;
    const char m_sep;
    std::string m_label;
    FullScanReport m_report;
    FullScanSummary m_summary;
    bool m_ended = false;
    bool m_progressShown = false;
    milliseconds m_lastProgress{0};
    // Paths already handled, so that an item named twice is handled once.
    std::set<std::string> m_removed;
    std::set<std::string> m_restored;
    // Folders (stick paths) holding a program a malicious link runs.
    std::set<std::string> m_payloadFolders;
};

} // namespace

FullScanSummary FullScan(Ports& ports, const std::string& drivePath, const FullScanRules& rules,
                         FullScanOutput& output, const FullScanOptions& options) {
    PinnedPorts pinned(ports, drivePath);
    return FullScanRun(pinned.get(), drivePath, rules, output, options).run();
}

std::string fullScanEndText(const FullScanSummary& summary) {
    switch (summary.end) {
    case FullScanEnd::stopped:
        return "完全扫描已停止，已完成的处理均已保留！";
    case FullScanEnd::unreadable:
        return "没有检测到U盘，无法完成扫描！";
    case FullScanEnd::finished:
        break;
    }
    return "完全扫描已完成！";
}

std::string fullScanSummaryText(const FullScanSummary& summary) {
    std::string text = fullScanEndText(summary);
    if (summary.end == FullScanEnd::unreadable) {
        text = "U盘已无法读取，完全扫描未能完成，已完成的处理均已保留。";
    }
    if (summary.dryRun) {
        text += "\n演示模式：只检查，未作任何更改。";
    }
    text += "\n共检查 " + std::to_string(summary.items) + " 项。\n";
    if (summary.dryRun) {
        text += "发现威胁 " + std::to_string(summary.threatsFound) + " 个，可恢复的被隐藏项目 " +
                std::to_string(summary.restored) + " 个。";
    } else {
        text += "清除威胁 " + std::to_string(summary.threatsRemoved) + " 个，恢复被隐藏的项目 " +
                std::to_string(summary.restored) + " 个，留待处理的可疑项 " +
                std::to_string(summary.unanswered) + " 个。";
    }
    if (summary.failed > 0) {
        text += "\n有 " + std::to_string(summary.failed) + " 项未能处理，详见扫描报告。";
    }
    if (summary.attributesUnreadable) {
        text += "\n该U盘的文件系统无法读取文件属性，已跳过隐藏项检查。";
    }
    if (summary.reportPath.empty()) {
        text += "\n扫描报告未能保存！";
    } else {
        text += "\n扫描报告：" + summary.reportPath;
    }
    return text;
}

std::string fullScanRulesPath(FileSystem& fs, Host& host) {
    return joinPath(fs, host.programFolder(), "fullscan.rules");
}

} // namespace tw
