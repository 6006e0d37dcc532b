#pragma once

#include "support/Harness.h"

#include <string>

namespace tw::test {

inline constexpr const char* guardName = "Velmora免疫文件夹...";

// Clicks a label through the main window, the drive monitor running before the click as it
// does in the program, and returns what the click did.
inline Lines click(Harness& h, Ctl label, bool monitorRunning = true) {
    if (monitorRunning) {
        h.view.setTimer2(true);
    }
    const std::size_t mark = h.transcript.size();
    h.form().Label_Click(label);
    return h.transcript.since(mark);
}

// Runs fn at a moment of virtual time counted from now.
inline void after(Harness& h, std::chrono::milliseconds delay, std::function<void()> fn) {
    h.clock.schedule(h.clock.now() + delay, std::move(fn));
}

// The steps of a run as the user sees them, written out once. d is the drive's path, t the
// temporary folder.

// A run on a drive starts so: the monitor paused, the drive checked.
inline Lines checking(const std::string& d) {
    return {
        "Label7 colour green",
        "Timer2 off",
        "Label7: 正在检测" + d + "盘安全状态，请稍候......",
        "wait 2s",
    };
}
// An autorun.inf file on the drive, deleted after the warning.
inline Lines threatDeleted(const std::string& d) {
    return {
        "Label7: 检测到" + d + "盘存在威胁！等待处理......",
        "box[48] 系统提示: 文件" + d + native("/autorun.inf存在威胁！建议执行扫描！ -> OK"),
        "wait 1s",
        "Label7: 威胁文件 " + d + native("/autorun.inf已成功清除!"),
        "wait 2s",
    };
}
inline Lines preparing(const std::string& d) {
    return {"Label7: 正在准备为" + d + "盘免疫，请稍等......", "wait 3s"};
}
// What every run on a drive without an autorun.inf file shows before its own steps.
inline Lines opening(const std::string& d) {
    return cat({checking(d), preparing(d)});
}

// Deep immunization only: a FAT or FAT32 drive is converted to NTFS.
inline Lines converting(const std::string& d, const std::string& t) {
    return {
        "Label7: 正在转化" + d + "盘文件系统，请稍候......",
        "wait 2s",
        "start " + t + native("/convert.bat"),
        "wait 3s",
    };
}
// Deep immunization only: the first pass of the wait finds the drive, then a moment more.
inline const Lines driveFound = {"wait 5s", "wait 1s"};

// The protective folder and its guard folder built.
inline Lines building(const std::string& d) {
    return {"Label7: 正在为" + d + "盘执行免疫，请稍等......", "wait 1s", "wait 3s"};
}
inline Lines reinforcing(const std::string& d, const std::string& wait) {
    return {"Label7: 检测到" + d + "盘已免疫，正在执行加强......", wait};
}
inline Lines alreadyImmunized(const std::string& d, const std::string& wait) {
    return {"Label7: 检测到" + d + "盘已存在Auto类病毒免疫！", wait};
}
// Deep immunization only: everyone's access to the protective folder denied through
// cacls.bat, and read back after two seconds.
inline Lines locking(const std::string& t) {
    return {"start " + t + native("/cacls.bat"), "wait 2s"};
}
// The same when the rule never reads back: four more pauses, then the run gives up.
inline Lines lockingUnverified(const std::string& t) {
    return {
        "start " + t + native("/cacls.bat"), "wait 2s", "wait 2s", "wait 2s", "wait 2s", "wait 2s"};
}
// Deep immunization only: the rule applied by the file system itself (or not at all where it
// keeps no access lists and no batch file can run), read back after two seconds.
inline const Lines lockingNatively = {"wait 2s"};

inline Lines succeeded(const std::string& boxText) {
    return {"Label7: 免疫操作成功结束！", "box[64] 提示: " + boxText + " -> OK"};
}
inline Lines failed(const std::string& statusText, const std::string& boxText) {
    return {"Label7 colour darkred", "Label7: " + statusText,
            "box[48] 警告: " + boxText + " -> OK"};
}
// The monitor runs again at the end of every run.
inline const Lines monitorResumes = {"Timer2 on"};

} // namespace tw::test
