#include "system/CompanionScript.h"

#include "drive/ModAppCheck.h"
#include "drive/moddelay.h"
#include "ports/Ports.h"

#include <memory>
#include <optional>

namespace tw {

namespace {

constexpr const char* workingCopyName = "systemset.bat";
constexpr const char* outcomeName = "systemset.out";

CompanionOutcome readOutcome(FileSystem& fs, const std::string& path) {
    std::optional<std::string> word;
    if (std::unique_ptr<LineReader> reader = fs.openText(path)) {
        word = reader->next();
    }
    fs.deleteFile(path, true);
    if (word == "done") {
        return CompanionOutcome::done;
    }
    if (word == "unsupported") {
        return CompanionOutcome::unsupported;
    }
    if (word == "norecord") {
        return CompanionOutcome::nothingRecorded;
    }
    if (word == "badrecord") {
        return CompanionOutcome::badRecord;
    }
    return CompanionOutcome::failed;
}

} // namespace

std::string companionPath(FileSystem& fs, const Host& host) {
    return joinPath(fs, host.programFolder(), companionFileName);
}

void reportSystemFailure(MainView& view, const std::string& text) {
    status(view, text, colors::darkRed);
    view.msgBox(text, mb::okOnly + mb::exclamation, "警告");
}

CompanionOutcome runCompanion(FileSystem& fs, Host& host, Clock& clock,
                              const std::vector<std::string>& arguments,
                              const std::function<void()>& whileWaiting) {
    const std::string workingCopy = joinPath(fs, host.tempFolder(), workingCopyName);
    const std::string outcome = joinPath(fs, host.tempFolder(), outcomeName);
    // An outcome left from an earlier run must not speak for this one.
    if (fs.fileExists(outcome) && !fs.deleteFile(outcome, true)) {
        return CompanionOutcome::notStarted;
    }
    // Waiting for a copy that was never made, or never run, would end in a false success.
    if (!fs.copyFile(companionPath(fs, host), workingCopy, true) ||
        !host.startScript(workingCopy, arguments)) {
        return CompanionOutcome::notStarted;
    }
    Delay(clock, 2);

    // The script removes its copy as its last act. A script that never does must not hold
    // the program waiting for ever.
    std::chrono::milliseconds waited{0};
    while (fs.fileExists(workingCopy)) {
        if (waited >= systemSetTimeout) {
            return CompanionOutcome::timedOut;
        }
        whileWaiting();
        clock.wait(systemSetPollInterval);
        waited += systemSetPollInterval;
    }
    return readOutcome(fs, outcome);
}

} // namespace tw
