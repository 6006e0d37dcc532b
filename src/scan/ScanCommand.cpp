#include "scan/ScanCommand.h"

#include "drive/modUsbCheck.h"
#include "drive/moddelay.h"
#include "scan/FullScanRules.h"
#include "scan/ModFullScan.h"
#include "scan/ModQuickScan.h"

namespace tw {

namespace {

void noDrive(MainView& view) {
    status(view, "没有检测到U盘，无法完成扫描！");
    view.msgBox("没有检测到U盘，无法完成扫描！", mb::okOnly + mb::information, "提示");
}

// The full scan in the window: findings and progress on the status line, questions in boxes,
// the stop asked for by a second click on "立即扫描（S)".
class WindowOutput final : public FullScanOutput {
public:
    WindowOutput(MainView& view, const AppState& state) : m_view(view), m_state(state) {}

    void say(const std::string& text, std::optional<Color> color) override {
        if (color) {
            status(m_view, text, *color);
        } else {
            status(m_view, text);
        }
    }
    void progress(const std::string& text) override { status(m_view, text); }
    std::optional<bool> ask(const std::string& question) override {
        return m_view.msgBox(question, mb::yesNo, "提示") == mb::yes;
    }
    bool stopRequested() override { return m_state.stopFullScan; }

private:
    MainView& m_view;
    const AppState& m_state;
};

// Without its rules the full scan cannot tell a worm's shortcut from the user's own: it does
// not start, and the drive is not read.
void fullScan(Ports& ports, AppState& state, const std::string& drivePath) {
    MainView& view = ports.view;
    const RulesLoad rules = loadFullScanRules(ports.fs, fullScanRulesPath(ports.fs, ports.host));
    if (!rules.rules) {
        status(view, "检测不到完全扫描模块，无法继续......");
        view.msgBox("本模块正在开发，敬请期待！", mb::okOnly + mb::information, "提示");
        return;
    }
    WindowOutput output(view, state);
    FullScanOptions options;
    options.reportFolder = ports.host.reportFolder();
    state.fullScanRunning = true;
    state.stopFullScan = false;
    const FullScanSummary summary = FullScan(ports, drivePath, *rules.rules, output, options);
    state.fullScanRunning = false;
    state.stopFullScan = false;
    status(view, fullScanEndText(summary));
    view.msgBox(fullScanSummaryText(summary), mb::okOnly + mb::information, "提示");
}

} // namespace

void ScanCommand(Ports& ports, AppState& state) {
    MainView& view = ports.view;
    view.setTimer2(false);
    if (view.optionValue(0)) {
        DriveProbe probe; // the command's own, not the monitor's
        modUsbCheck(ports.fs, probe);
        if (probe.found == 1) {
            // A drive that could not be read to the end is not reported as scanned.
            status(view,
                   QuickScan(ports, probe.drivePath) ? "快速扫描已完成！" : unreadableDriveText);
            Delay(ports.clock, 2);
            view.setTimer2(true);
        } else {
            noDrive(view);
        }
    } else if (view.optionValue(1)) {
        DriveProbe probe;
        modUsbCheck(ports.fs, probe);
        if (probe.found == 1) {
            fullScan(ports, state, probe.drivePath);
        } else {
            noDrive(view);
        }
    }
    view.setTimer2(true);
}

void AskToStopFullScan(MainView& view, AppState& state) {
    if (!state.fullScanRunning || state.stopFullScan || state.askingToStop) {
        return;
    }
    state.askingToStop = true;
    const bool stop = view.msgBox("完全扫描正在进行，是否停止扫描？", mb::yesNo, "提示") == mb::yes;
    state.askingToStop = false;
    // The scan may have ended while the box was open.
    if (stop && state.fullScanRunning) {
        state.stopFullScan = true;
    }
}

} // namespace tw
