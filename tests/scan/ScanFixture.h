#pragma once

#include "scan/ModQuickScan.h"
#include "support/Harness.h"

#include <initializer_list>
#include <string>

namespace tw::test {

// Joins blocks of expected lines into one transcript.
inline Lines cat(std::initializer_list<Lines> blocks) {
    Lines all;
    for (const Lines& block : blocks) {
        all.insert(all.end(), block.begin(), block.end());
    }
    return all;
}

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
    return {"Label7: 正在清理" + d + "/autorun.inf，请稍候......", "wait 2s", "Label7 colour green",
            "Label7: 病毒配置文件" + d + "/autorun.inf清理成功！", "wait 2s"};
}
inline const Lines phase3Start = {"Label7: 第三阶段：执行常规特征检测，请稍候......", "wait 2s"};
inline const Lines phase3Clean = {"Label7: 第三阶段检测完毕，没有发现威胁！", "wait 3s"};

// A root without folders, up to the first file of phase 3.
inline Lines upToPhase3(const std::string& d) {
    return cat({engineStart, phase1Clean, phase2Start(d), phase2Clean, phase3Start});
}

} // namespace tw::test
