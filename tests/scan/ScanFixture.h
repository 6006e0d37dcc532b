#pragma once

#include "scan/ModQuickScan.h"
#include "support/Harness.h"

#include <gtest/gtest.h>

#include <string>

namespace tw::test {

// A harness that runs the quick scan over its stick and returns the scan's transcript.
struct ScanHarness : Harness {
    const std::string D = stick.path();

    Lines quickScan() {
        const std::size_t mark = transcript.size();
        Ports p = ports();
        QuickScan(p, D);
        return transcript.since(mark);
    }

    // Clicks "立即扫描（S)" through the main window, as the user does.
    Lines clickScan() {
        view.setEnabled(Ctl::Label6, true);
        const std::size_t mark = transcript.size();
        form().Label_Click(Ctl::Label6);
        return transcript.since(mark);
    }
};

// The fixed blocks of the transcript, written out once.
inline const Lines engineStart = {
    "Label7: 正在初始化快速扫描引擎，请稍候......",
    "wait 2s",
    "Label7: 第一阶段：执行伪装型病毒检测，请稍候......",
    "wait 3s",
};
inline Lines folderScanned(const std::string& d) {
    return {"Label7 colour green", "Label7: 正在执行" + d + "盘扫描......", "wait 2s"};
}
inline const Lines phase1Clean = {"Label7: 第一阶段检测完毕，没有发现伪装病毒！", "wait 3s"};
inline Lines phase2Start(const std::string& d) {
    return {"Label7: 第二阶段：执行AUTO类病毒检测，请稍候......", "wait 2s",
            "Label7: 正在执行" + d + "盘扫描......", "wait 2s"};
}
inline const Lines phase2Clean = {"Label7: 第二阶段检测完毕，没有发现AUTO病毒！", "wait 3s"};
inline const Lines autorunRead = {"Label7: 检测到Autorun.inf文件！正在读取，请稍候......",
                                  "wait 2s"};
inline Lines autorunCleaned(const std::string& d) {
    return {"Label7: 正在清理" + d + native("/autorun.inf，请稍候......"), "wait 2s",
            "Label7 colour green", "Label7: 病毒配置文件" + d + native("/autorun.inf清理成功！"),
            "wait 2s"};
}
// autorun.inf that stays (refused, or no copy of it could be made).
inline Lines autorunNotCleaned(const std::string& d) {
    return {"Label7: 正在清理" + d + native("/autorun.inf，请稍候......"), "wait 2s",
            "Label7: 病毒配置文件" + d + native("/autorun.inf清理失败！"), "wait 2s"};
}
inline const Lines phase3Start = {"Label7: 第三阶段：执行常规特征检测，请稍候......", "wait 2s"};
inline const Lines phase3Clean = {"Label7: 第三阶段检测完毕，没有发现威胁！", "wait 3s"};
// A phase's end where the drive's root can no longer be read: nothing is called clean.
inline const Lines phaseUnreadable = {"Label7: 没有检测到U盘，无法完成扫描！", "wait 3s"};

// The scan command's end, after a scan that read its drive to the end, and after one that
// could not.
inline const Lines scanFinished = {"Label7: 快速扫描已完成！", "wait 2s", "Timer2 on", "Timer2 on"};
inline const Lines scanUnfinished = {"Label7: 没有检测到U盘，无法完成扫描！", "wait 2s",
                                     "Timer2 on", "Timer2 on"};

// The full scan whose module cannot be loaded: it says so and starts nothing.
inline const Lines fullScanModuleMissing = {
    "Timer2 off",
    "Label7: 检测不到完全扫描模块，无法继续......",
    "box[64] 提示: 本模块正在开发，敬请期待！ -> OK",
    "Timer2 on",
};
// Fails the test at any call on the drive, but for the existence tests where allowed.
inline void failOnDriveCalls(ScanHarness& h, bool existenceAllowed) {
    h.faulty.refuse = [&h, existenceAllowed](const std::string& op, const std::string& path) {
        if (path.starts_with(h.stick.path()) &&
            !(existenceAllowed && (op == "fileExists" || op == "folderExists"))) {
            ADD_FAILURE() << "the drive was read: " << op << " " << path;
        }
        return false;
    };
}

// A root without folders, up to the first file of phase 3.
inline Lines upToPhase3(const std::string& d) {
    return cat({engineStart, phase1Clean, phase2Start(d), phase2Clean, phase3Start});
}
// A root without folders and without findings, to the end.
inline Lines cleanScan(const std::string& d) {
    return cat({upToPhase3(d), phase3Clean});
}

// Findings, by the path p they name (the folder's path for a disguised executable).
// Phase 1: the executable beside a folder of its name, removed without a question.
inline Lines disguisedRemoved(const std::string& p) {
    return {
        "Label7 colour darkred",
        "Label7: 发现伪装文件夹病毒" + p + ".exe，正在处理......",
        "wait 2s",
        "Label7 colour green",
        "Label7: 伪装文件夹病毒" + p + ".exe处理成功！",
        "wait 2s",
    };
}
// ...or still there afterwards.
inline Lines disguisedNotRemoved(const std::string& p) {
    return {
        "Label7 colour darkred",
        "Label7: 发现伪装文件夹病毒" + p + ".exe，正在处理......",
        "wait 2s",
        "Label7: 伪装文件夹病毒" + p + ".exe处理失败！",
        "wait 1s",
    };
}
// Phase 1: a folder's attributes put back to 16.
inline Lines abnormalRepaired(const std::string& p) {
    return {
        "Label7 colour darkred", "Label7: 发现异常文件夹：" + p + "，正在处理......", "wait 2s",
        "Label7 colour green",   "Label7: 异常文件夹：" + p + "处理成功！",           "wait 2s",
    };
}
// Phase 2: a marked target of autorun.inf, removed without a question; t as written there.
inline Lines targetRemoved(const std::string& t) {
    return {
        "Label7 colour darkred",
        "Label7: 检测到AUTO类病毒" + t + "，正在处理......",
        "wait 2s",
        "wait 1s",
        "Label7 colour green",
        "Label7: 已成功清除威胁！",
        "wait 2s",
    };
}
// Phase 3: a small marked file, removed without a question.
inline Lines virusRemoved(const std::string& p) {
    return {"Label7: 发现病毒" + p + "，正在处理......", "wait 2s",
            "Label7: 威胁" + p + "已成功清除！", "wait 2s"};
}
// Phase 3: a small plain executable or script, asked about and removed on Yes...
inline Lines suspiciousRemoved(const std::string& p) {
    return {
        "Label7 colour darkred",
        "Label7: 发现可疑文件" + p + "，等待处理......",
        "box[4] 提示: 发现可疑文件" + p + "，是否删除? -> Yes",
        "wait 1s",
        "Label7 colour green",
        "Label7: 可疑文件已成功清除!",
        "wait 3s",
    };
}
// ...or still there after a Yes...
inline Lines suspiciousNotRemoved(const std::string& p) {
    return {
        "Label7 colour darkred",
        "Label7: 发现可疑文件" + p + "，等待处理......",
        "box[4] 提示: 发现可疑文件" + p + "，是否删除? -> Yes",
        "wait 1s",
        "Label7: 可疑文件清除失败！",
        "wait 2s",
    };
}
// ...or kept on No.
inline Lines suspiciousKept(const std::string& p) {
    return {
        "Label7 colour darkred",
        "Label7: 发现可疑文件" + p + "，等待处理......",
        "box[4] 提示: 发现可疑文件" + p + "，是否删除? -> No",
    };
}

} // namespace tw::test
