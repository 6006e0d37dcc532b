#include "scan/FullScanCommand.h"

#include "ports/Ports.h"
#include "scan/FullScanRules.h"
#include "scan/ModFullScan.h"

#include <algorithm>
#include <optional>

namespace tw {

namespace {

// No window: the engine's calls on the view have nowhere to go.
class NoWindow final : public MainView {
public:
    void setCaption(Ctl, const std::string&) override {}
    void setForeColor(Ctl, Color) override {}
    void setVisible(Ctl, bool) override {}
    void setEnabled(Ctl, bool) override {}
    [[nodiscard]] bool isEnabled(Ctl) const override { return false; }
    [[nodiscard]] bool optionValue(int) const override { return false; }
    void setTimer1(bool) override {}
    void setTimer2(bool) override {}
    int msgBox(const std::string&, int, const std::string&) override { return mb::no; }
    void showAbout() override {}
    void showQuarantine(Quarantine&) override {}
};

// Each finding and action on a line of its own, written as it happens.
class PrintedOutput final : public FullScanOutput {
public:
    explicit PrintedOutput(std::ostream& out) : m_out(out) {}
    void say(const std::string& text, std::optional<Color>) override {
        m_out << text << '\n' << std::flush;
    }
    void progress(const std::string&) override {}
    std::optional<bool> ask(const std::string&) override { return std::nullopt; }
    bool stopRequested() override { return false; }

private:
    std::ostream& m_out;
};

std::string withoutTrailingSeparators(std::string path, char sep) {
    while (path.size() > 1 && (path.back() == sep || path.back() == '/')) {
        path.pop_back();
    }
    return path;
}

bool samePath(const std::string& a, const std::string& b, char sep) {
    if (sep != '\\') {
        return a == b;
    }
    // Drive letters and folder names on Windows match ignoring letter case.
    const auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

int FullScanCommand(FileSystem& fs, Host& host, Quarantine& quarantine, Clock& clock,
                    const std::vector<std::string>& arguments, std::ostream& out,
                    std::ostream& err) {
    std::optional<std::string> path;
    bool dryRun = false;
    for (const std::string& argument : arguments) {
        if (argument == "--dry-run") {
            dryRun = true;
        } else if (!path) {
            path = argument;
        } else {
            err << "tarnwick: 多余的参数 " << argument << " (unexpected argument " << argument
                << ")\n";
            return 2;
        }
    }
    if (!path || path->empty()) {
        err << "tarnwick: 请指定要扫描的U盘路径 (give the path of the removable drive)\n";
        return 2;
    }
    const char sep = fs.separator();
    const std::string wanted = withoutTrailingSeparators(*path, sep);
    std::optional<Drive> drive;
    for (const Drive& candidate : fs.drives()) {
        if (candidate.type == drivetype::removable &&
            samePath(withoutTrailingSeparators(candidate.path, sep), wanted, sep)) {
            drive = candidate;
            break;
        }
    }
    if (!drive) {
        err << "tarnwick: " << *path << " 不是本程序能识别的U盘（可移动驱动器）。(" << *path
            << " is not a removable drive that Tarnwick sees.)\n";
        return 2;
    }
    if (!fs.isReady(*drive)) {
        err << "tarnwick: 无法读取 " << drive->path << "。(" << drive->path
            << " cannot be read.)\n";
        return 2;
    }
    const std::string rulesPath = fullScanRulesPath(fs, host);
    const RulesLoad rules = loadFullScanRules(fs, rulesPath);
    if (!rules.rules) {
        err << "tarnwick: 检测不到完全扫描模块，无法继续......（" << rulesPath << "："
            << rules.error << "）(the full scan's rules are missing or damaged)\n";
        return 2;
    }

    NoWindow view;
    Ports ports{fs, host, view, clock, quarantine};
    PrintedOutput output(out);
    FullScanOptions options;
    options.dryRun = dryRun;
    options.reportFolder = host.reportFolder();
    const FullScanSummary summary =
        FullScan(ports, withoutTrailingSeparators(drive->path, sep), *rules.rules, output, options);
    out << fullScanSummaryText(summary) << '\n';
    if (summary.end == FullScanEnd::unreadable) {
        return 2;
    }
    return summary.foundAnything() ? 1 : 0;
}

} // namespace tw
