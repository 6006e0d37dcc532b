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

void deepImmunizationOnDrive(Ports& ports, AppState& state, bool batchFilesRun);

// A started cacls.bat is read back every two seconds, five times at most: the tool takes
// well under a second, and the window stays usable during the pauses.
constexpr int batchRuleChecks = 5;

// Denies everyone access to the protective folder: natively where the file system can,
// else through cacls.bat where the platform runs batch files. True only when the rule
// reads back on the folder.
bool lockProtectiveFolder(Ports& ports, const std::string& autorunPath) {
    const bool native = ports.fs.denyEveryone(autorunPath);
    const bool batch =
        !native && ports.host.canStartBatchFiles() && Modfoldercacls(ports, autorunPath);
    const int checks = batch ? batchRuleChecks : 1;
    for (int check = 0; check < checks; ++check) {
        Delay(ports.clock, 2);
        if (ports.fs.deniesEveryone(autorunPath)) {
            return true;
        }
    }
    return false;
}

// Success only for a rule that was verified; otherwise the protection of simple
// immunization stays and the reinforcement is reported as failed.
void lockAndReport(Ports& ports, const std::string& autorunPath, const std::string& boxText) {
    if (lockProtectiveFolder(ports, autorunPath)) {
        reportImmunized(ports.view, boxText);
    } else {
        reportReinforcementFailed(ports.view);
    }
}

} // namespace

// Failing calls are passed over: the guard-folder test (and on reinforcement the drive's
// file system) decides whether the folder is locked, the rule read back whether that
// succeeded.
void deepImmunization(Ports& ports, Ports& /*onDrive*/, AppState& state) {
    FileSystem& fs = ports.fs;
    MainView& view = ports.view;
    DriveProbe& probe = state.probe;
    // Where no batch file can run, none is written and none is cleaned up: a file of that
    // name in the temporary folder is then not the program's.
    const bool batchFilesRun = ports.host.canStartBatchFiles();

    const std::string name = probedFileSystem(fs, state);
    if ((name == "FAT32" || name == "FAT") && batchFilesRun) {
        status(view, "正在转化" + probe.drivePath + "盘文件系统，请稍候......");
        modfsconvert(ports, probe.drivePath);
        Delay(ports.clock, 3);
    }

    // The conversion dismounts the drive. Wait, in passes that keep the window usable,
    // until a ready removable drive is seen again; closing the program ends the wait. The
    // drives are asked afresh each pass, never through the pin of the drive that left.
    probe.found = 0;
    while (probe.found != 1) {
        modUsbCheck(fs, probe, &state.probedDrive);
        Delay(ports.clock, 5);
    }
    Delay(ports.clock, 1);
    if (batchFilesRun) {
        fs.deleteFile(joinPath(fs, ports.host.tempFolder(), "convert.bat"), true);
    }
    PinnedPorts pinned(ports, probe.drivePath);
    deepImmunizationOnDrive(pinned.get(), state, batchFilesRun);
}

namespace {

// The drive that came back, pinned anew.
void deepImmunizationOnDrive(Ports& ports, AppState& state, bool batchFilesRun) {
    FileSystem& fs = ports.fs;
    MainView& view = ports.view;
    const DriveProbe& probe = state.probe;

    if (fs.folderExists(probe.autorunPath)) {
        reinforceProtection(ports, probe, 4);
        // On NTFS the folder is locked even when the guard folder cannot be seen: the
        // access rule of an earlier run may hide it.
        if (guardFolderBuilt(fs, probe.autorunPath) ||
            (probedFileSystem(fs, state) == "NTFS" &&
             fs.lookup(probe.autorunPath) == Presence::folder)) {
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
    if (batchFilesRun) {
        fs.deleteFile(joinPath(fs, ports.host.tempFolder(), "cacls.bat"), false);
    }
}

} // namespace

} // namespace tw
