#include "immunize/DeepImmunization.h"

#include "drive/modUsbCheck.h"
#include "drive/moddelay.h"
#include "immunize/Modfoldercacls.h"
#include "immunize/SimpleImmunization.h"
#include "immunize/modfsconvert.h"

namespace tw {

namespace {

std::string probedFileSystem(FileSystem& fs, const AppState& state) {
    return state.probedDrive ? fs.fileSystemName(*state.probedDrive) : std::string();
}

void deepImmunizationOnDrive(Ports& ports, AppState& state);

// Locks the protective folder, then reports success once the batch file had time to run.
void lockAndReport(Ports& ports, const std::string& autorunPath, const std::string& boxText) {
    Modfoldercacls(ports, autorunPath);
    Delay(ports.clock, 2);
    reportImmunized(ports.view, boxText);
}

} // namespace

// Failing calls are passed over: the guard-folder test (and on reinforcement the drive's
// file system) decides the outcome; the conversion and the access rule are not verified.
void deepImmunization(Ports& ports, AppState& state) {
    FileSystem& fs = ports.fs;
    MainView& view = ports.view;
    DriveProbe& probe = state.probe;

    const std::string name = probedFileSystem(fs, state);
    if (name == "FAT32" || name == "FAT") {
        status(view, "正在转化" + probe.drivePath + "盘文件系统，请稍候......");
        modfsconvert(ports, probe.drivePath);
        Delay(ports.clock, 3);
    }

    // The conversion dismounts the drive. Wait, in passes that keep the window usable,
    // until a ready removable drive is seen again; closing the program ends the wait.
    probe.found = 0;
    while (probe.found != 1) {
        modUsbCheck(fs, probe, &state.probedDrive);
        Delay(ports.clock, 5);
    }
    Delay(ports.clock, 1);
    fs.deleteFile(joinPath(fs, ports.host.tempFolder(), "convert.bat"), true);
    PinnedPorts pinned(ports, probe.drivePath);
    deepImmunizationOnDrive(pinned.get(), state);
}

namespace {

// The drive that came back, pinned anew.
void deepImmunizationOnDrive(Ports& ports, AppState& state) {
    FileSystem& fs = ports.fs;
    MainView& view = ports.view;
    const DriveProbe& probe = state.probe;

    if (fs.folderExists(probe.autorunPath)) {
        reinforceProtection(ports, probe, 4);
        // On NTFS the folder is locked even when the guard folder cannot be seen: the
        // access rule of an earlier run may hide it.
        if (fs.folderExists(guardFolderPath(fs, probe.autorunPath)) ||
            probedFileSystem(fs, state) == "NTFS") {
            lockAndReport(ports, probe.autorunPath, "免疫操作成功结束！");
        } else {
            reportReinforcementFailed(view);
        }
    } else if (buildProtection(ports, probe)) {
        lockAndReport(ports, probe.autorunPath, "免疫操作已完成！");
    } else {
        reportBuildFailed(view);
    }

    // Without force: a read-only copy stays.
    fs.deleteFile(joinPath(fs, ports.host.tempFolder(), "cacls.bat"), false);
}

} // namespace

} // namespace tw
