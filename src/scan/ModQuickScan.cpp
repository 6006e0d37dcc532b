#include "scan/ModQuickScan.h"

#include "drive/RemoveToQuarantine.h"
#include "drive/moddelay.h"
#include "scan/AutorunParser.h"
#include "scan/ShellPath.h"

#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

namespace tw {

namespace {

// Below this length a root file is small enough to be looked at in phase 3.
constexpr std::uint64_t smallFileLimit = 1024 * 1024;

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The names of a listing's entries that are not folders, to pass by a name that is surely not
// there without asking the drive. Compared in ASCII letter case only: where a name outside
// ASCII is involved, nothing is ruled out and the drive is asked.
class NameIndex {
public:
    explicit NameIndex(const std::vector<EntryInfo>& entries) {
        for (const EntryInfo& entry : entries) {
            if (entry.kind == EntryKind::folder) {
                continue;
            }
            if (!isAscii(entry.name)) {
                m_allAscii = false;
                return;
            }
            m_names.insert(lower(entry.name));
        }
    }

    [[nodiscard]] bool mayHold(const std::string& name) const {
        return !m_allAscii || !isAscii(name) || m_names.count(lower(name)) != 0;
    }

private:
    static bool isAscii(const std::string& text) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                return false;
            }
        }
        return true;
    }
    static std::string lower(std::string text) {
        for (char& c : text) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return text;
    }

    std::unordered_set<std::string> m_names;
    bool m_allAscii = true;
};

// The three phases share the drive path and the ports; the finding flag is per phase.
class QuickScanRun {
public:
    QuickScanRun(Ports& ports, const std::string& drivePath)
        : m_ports(ports), m_fs(ports.fs), m_view(ports.view), m_clock(ports.clock),
          m_host(ports.host), m_drivePath(drivePath) {}

    bool run() {
        status(m_view, "正在初始化快速扫描引擎，请稍候......");
        Delay(m_clock, 2);
        status(m_view, "第一阶段：执行伪装型病毒检测，请稍候......");
        Delay(m_clock, 3);
        disguisedFolders();
        autorunVirus();
        suspiciousFiles();
        return m_readable;
    }

private:
    // Phase 1: executables beside a root folder of the same name, and root folders whose
    // attributes were tampered with.
    void disguisedFolders() {
        bool found = false;
        // An unreadable root (the drive pulled out) has no folders to look at. Of the files
        // only the names serve here.
        const auto listed = m_fs.list(m_drivePath, ListDetail::folders);
        const std::vector<EntryInfo> none;
        const std::vector<EntryInfo>& entries = listed ? *listed : none;
        // Built at the first folder: a root of files alone needs no index.
        std::optional<NameIndex> files;
        for (const EntryInfo& folder : entries) {
            if (folder.kind != EntryKind::folder) {
                continue;
            }
            if (!files) {
                files.emplace(entries);
            }
            const std::string& p = folder.path;
            status(m_view, "正在执行" + m_drivePath + "盘扫描......", colors::green);
            Delay(m_clock, 2);

            const std::string exe = p + ".exe";
            if (files->mayHold(folder.name + ".exe") && m_fs.fileExists(exe)) {
                found = true;
                status(m_view, "发现伪装文件夹病毒" + exe + "，正在处理......", colors::darkRed);
                (void)removeToQuarantine(m_ports, exe, condemned::disguisedFolder);
                Delay(m_clock, 2);
                if (removed(exe)) {
                    status(m_view, "伪装文件夹病毒" + exe + "处理成功！", colors::green);
                    Delay(m_clock, 2);
                } else {
                    status(m_view, "伪装文件夹病毒" + exe + "处理失败！");
                    noteFailure();
                    Delay(m_clock, 1);
                }
            }

            // Attributes that cannot be read give no finding: the folder is left as it is. What
            // the listing says is asked again before the folder is touched.
            const auto abnormal = [](const std::optional<std::uint32_t>& word) {
                return word && *word != attr::directory;
            };
            if (folder.name != "autorun.inf" &&
                abnormal(folder.attributes ? folder.attributes : m_fs.attributes(p)) &&
                abnormal(m_fs.attributes(p))) {
                status(m_view, "发现异常文件夹：" + p + "，正在处理......", colors::darkRed);
                (void)m_fs.setAttributes(p, attr::directory);
                Delay(m_clock, 2);
                if (m_fs.attributes(p) == attr::directory) {
                    status(m_view, "异常文件夹：" + p + "处理成功！", colors::green);
                    Delay(m_clock, 2);
                } else {
                    status(m_view, "异常文件夹：" + p + "处理失败！");
                    noteFailure();
                    Delay(m_clock, 1);
                }
            }
        }
        if (!found) {
            endOfPhase("第一阶段检测完毕，没有发现伪装病毒！");
        }
    }

    // Phase 2: autorun.inf and the program it launches.
    void autorunVirus() {
        bool found = false;
        status(m_view, "第二阶段：执行AUTO类病毒检测，请稍候......");
        Delay(m_clock, 2);
        status(m_view, "正在执行" + m_drivePath + "盘扫描......");
        Delay(m_clock, 2);

        const std::string autorunPath = joinPath(m_fs, m_drivePath, "autorun.inf");
        if (m_fs.fileExists(autorunPath)) {
            found = true;
            status(m_view, "检测到Autorun.inf文件！正在读取，请稍候......");
            Delay(m_clock, 2);
            launchedProgram(readTarget(autorunPath));

            status(m_view, "正在清理" + autorunPath + "，请稍候......");
            Delay(m_clock, 2);
            (void)removeToQuarantine(m_ports, autorunPath, condemned::autorunFile);
            if (removed(autorunPath)) {
                status(m_view, "病毒配置文件" + autorunPath + "清理成功！", colors::green);
            } else {
                status(m_view, "病毒配置文件" + autorunPath + "清理失败！");
                noteFailure();
            }
            Delay(m_clock, 2);
        }
        if (!found) {
            endOfPhase("第二阶段检测完毕，没有发现AUTO病毒！");
        }
    }

    // The target of the last open line; empty when there is none or the file cannot be read.
    std::string readTarget(const std::string& autorunPath) {
        AutorunParser parser;
        if (auto reader = m_fs.openText(autorunPath)) {
            // Read to its end, as Windows reads it, however much padding hides the last
            // line: the window keeps its events meanwhile.
            std::size_t lines = 0;
            while (const auto line = reader->next()) {
                parser.feed(*line);
                if (++lines % 64 == 0) {
                    m_clock.handleEvents();
                }
            }
        }
        return parser.target();
    }

    // The target as written is what the user sees; what is tested and deleted is the file
    // it names on this drive. A target that leads off the drive names no file here.
    void launchedProgram(const std::string& target) {
        const auto onDrive = m_fs.resolveOnDrive(m_drivePath, shellPath(target));
        if (!onDrive || !m_fs.fileExists(*onDrive)) {
            return;
        }
        const auto attributes = m_fs.attributes(*onDrive);
        if (!attributes) {
            return; // cannot be judged, so it is not removed
        }
        if (*attributes != attr::archive) {
            status(m_view, "检测到AUTO类病毒" + target + "，正在处理......", colors::darkRed);
            Delay(m_clock, 2);
        } else {
            status(m_view, "检测到" + target + "存在严重威胁，等待处理......", colors::darkRed);
            if (m_view.msgBox("文件" + target + "存在严重威胁，是否清理?", mb::yesNo, "提示") !=
                mb::yes) {
                m_view.msgBox("文件" + target + "存在严重威胁，但您已放弃清除！",
                              mb::okOnly + mb::information, "提示");
                return;
            }
        }
        (void)removeToQuarantine(m_ports, *onDrive, condemned::autorunTarget);
        Delay(m_clock, 1);
        if (removed(*onDrive)) {
            status(m_view, "已成功清除威胁！", colors::green);
        } else {
            status(m_view, "威胁清除失败！");
            noteFailure();
        }
        Delay(m_clock, 2);
    }

    // Phase 3: small root files that carry more than the archive attribute, and small
    // executables and scripts.
    void suspiciousFiles() {
        bool found = false;
        status(m_view, "第三阶段：执行常规特征检测，请稍候......");
        Delay(m_clock, 2);

        const std::string ownProgram = m_host.programName() + ".exe";
        const auto listed = m_fs.list(m_drivePath, ListDetail::files);
        if (!listed) {
            endOfPhase("第三阶段检测完毕，没有发现威胁！");
            return;
        }
        for (const EntryInfo& file : *listed) {
            if (file.kind == EntryKind::folder) {
                continue;
            }
            const std::string& p = file.path;
            // A file whose length or attributes cannot be read is not judged, nor deleted.
            // The listing's word and size serve to pass a file by; a file about to be acted on
            // is read again, as it is now.
            const bool plain = file.kind == EntryKind::file && file.attributes.has_value();
            if (plain && (file.size >= smallFileLimit || (*file.attributes == attr::archive &&
                                                          !isExecutableOrScript(file.name)))) {
                continue;
            }
            const auto length = m_fs.fileLen(p);
            const auto attributes = m_fs.attributes(p);
            if (!length || !attributes || *length >= smallFileLimit) {
                continue;
            }
            if (*attributes != attr::archive) {
                found = true;
                status(m_view, "发现病毒" + p + "，正在处理......");
                (void)removeToQuarantine(m_ports, p, condemned::markedFile);
                Delay(m_clock, 2);
                if (removed(p)) {
                    status(m_view, "威胁" + p + "已成功清除！");
                } else {
                    status(m_view, "威胁" + p + "清除失败！");
                    noteFailure();
                }
                Delay(m_clock, 2);
            } else if (file.name != ownProgram && isExecutableOrScript(file.name)) {
                found = true;
                status(m_view, "发现可疑文件" + p + "，等待处理......", colors::darkRed);
                if (m_view.msgBox("发现可疑文件" + p + "，是否删除?", mb::yesNo, "提示") !=
                    mb::yes) {
                    continue;
                }
                (void)removeToQuarantine(m_ports, p, condemned::suspiciousFile);
                Delay(m_clock, 1);
                if (removed(p)) {
                    status(m_view, "可疑文件已成功清除!", colors::green);
                    Delay(m_clock, 3);
                } else {
                    status(m_view, "可疑文件清除失败！");
                    noteFailure();
                    Delay(m_clock, 2);
                }
            }
        }
        if (!found) {
            endOfPhase("第三阶段检测完毕，没有发现威胁！");
        }
    }

    // Gone only where the drive answered that the name is not there: a drive that went away
    // says nothing about its files.
    bool removed(const std::string& path) { return m_fs.lookup(path) == Presence::absent; }

    [[nodiscard]] bool driveAnswers() {
        return m_fs.isReady(Drive{m_drivePath, drivetype::removable, {}});
    }

    // A step that failed because the drive went away leaves the whole scan unfinished.
    void noteFailure() {
        if (!driveAnswers()) {
            m_readable = false;
        }
    }

    // A phase that found nothing says so only while the drive's root can still be read: a
    // drive gone away (or a root that cannot be read) is not a clean drive.
    void endOfPhase(const std::string& nothingFound) {
        if (driveAnswers()) {
            status(m_view, nothingFound);
        } else {
            m_readable = false;
            status(m_view, unreadableDriveText);
        }
        Delay(m_clock, 3);
    }

    // The last four characters, compared exactly.
    static bool isExecutableOrScript(const std::string& name) {
        return endsWith(name, ".exe") || endsWith(name, ".EXE") || endsWith(name, ".vbs") ||
               endsWith(name, ".VBS");
    }

    Ports& m_ports;
    FileSystem& m_fs;
    MainView& m_view;
    Clock& m_clock;
    Host& m_host;
    const std::string& m_drivePath;
    bool m_readable = true;
};

} // namespace

bool QuickScan(Ports& ports, const std::string& drivePath) {
    PinnedPorts pinned(ports, drivePath);
    return QuickScanRun(pinned.get(), drivePath).run();
}

} // namespace tw
