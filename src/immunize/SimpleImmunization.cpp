#include "immunize/SimpleImmunization.h"

#include "drive/moddelay.h"

namespace tw {

std::string guardFolderPath(const FileSystem& fs, const std::string& autorunPath) {
    return joinPath(fs, autorunPath, guardFolderName) + fs.separator();
}

void writeProtectiveAttributes(FileSystem& fs, const std::string& autorunPath) {
    if (fs.folderExists(autorunPath)) {
        fs.setAttributes(autorunPath, protectiveAttributes);
    }
}

void reinforceProtection(Ports& ports, const DriveProbe& probe, int waitSeconds) {
    FileSystem& fs = ports.fs;
    const std::string guard = guardFolderPath(fs, probe.autorunPath);
    if (!fs.folderExists(guard)) {
        status(ports.view, "检测到" + probe.drivePath + "盘已免疫，正在执行加强......");
        fs.mkDir(guard);
        writeProtectiveAttributes(fs, probe.autorunPath);
    } else {
        // Already immunized: the folder's attributes stay as they are.
        status(ports.view, "检测到" + probe.drivePath + "盘已存在Auto类病毒免疫！");
    }
    Delay(ports.clock, waitSeconds);
}

bool buildProtection(Ports& ports, const DriveProbe& probe) {
    FileSystem& fs = ports.fs;
    const std::string guard = guardFolderPath(fs, probe.autorunPath);
    status(ports.view, "正在为" + probe.drivePath + "盘执行免疫，请稍等......");
    fs.mkDir(probe.autorunPath);
    Delay(ports.clock, 1);
    fs.mkDir(guard);
    writeProtectiveAttributes(fs, probe.autorunPath);
    Delay(ports.clock, 3);
    return guardFolderBuilt(fs, probe.autorunPath);
}

bool guardFolderBuilt(FileSystem& fs, const std::string& autorunPath) {
    return fs.lookup(guardFolderPath(fs, autorunPath)) == Presence::folder;
}

void reportImmunized(MainView& view, const std::string& boxText) {
    status(view, "免疫操作成功结束！");
    view.msgBox(boxText, mb::okOnly + mb::information, "提示");
}

namespace {

void reportNotImmunized(MainView& view, const std::string& statusText, const std::string& boxText) {
    status(view, statusText, colors::darkRed);
    view.msgBox(boxText, mb::okOnly + mb::exclamation, "警告");
}

} // namespace

void reportReinforcementFailed(MainView& view) {
    reportNotImmunized(view, "操作结束！但免疫加强操作失败！", "免疫加强操作失败！");
}

void reportBuildFailed(MainView& view) {
    reportNotImmunized(view, "操作结束！但免疫未成功建立！", "免疫操作失败！");
}

// Failing calls are passed over: only the final test of the guard folder decides.
void simpleImmunization(Ports& /*outside*/, Ports& ports, AppState& state) {
    FileSystem& fs = ports.fs;
    const DriveProbe& probe = state.probe;

    if (fs.folderExists(probe.autorunPath)) {
        reinforceProtection(ports, probe, 2);
        if (guardFolderBuilt(fs, probe.autorunPath)) {
            reportImmunized(ports.view, "免疫操作成功结束！");
        } else {
            reportReinforcementFailed(ports.view);
        }
    } else if (buildProtection(ports, probe)) {
        reportImmunized(ports.view, "免疫操作已完成！");
    } else {
        reportBuildFailed(ports.view);
    }
}

} // namespace tw
