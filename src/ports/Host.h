#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// One AutoPlay setting that the companion script changes, as the program reads it itself.
struct SystemSetting {
    std::string name;     // as the undo record names it
    std::string value;    // as the undo record writes it; "-" when the value is not there
    std::string off;      // what system immunization sets it to
    bool required = true; // false: the machine's own, which needs rights the user may lack
};

// A record the companion writes is a few short lines; anything larger is not one of its.
inline constexpr std::size_t maxUndoRecordSize = 4096;

// The companion's undo record as found in its place, not yet judged.
struct UndoRecordFile {
    enum class State {
        absent,     // no such file
        text,       // a regular file of a plausible size, read whole
        refused,    // a link, not a regular file, or too large to be one of ours
        unreadable, // nothing can be told
    };
    State state = State::unreadable;
    std::string text;
};

// The process and its environment.
class Host {
public:
    virtual ~Host() = default;

    // The temporary folder; never empty.
    [[nodiscard]] virtual std::string tempFolder() const = 0;
    // The folder that holds the running program file.
    [[nodiscard]] virtual std::string programFolder() const = 0;
    // The running program's file name without its extension.
    [[nodiscard]] virtual std::string programName() const = 0;

    // Starts the companion's working copy (a shell script on Linux) with no window and
    // without waiting for it, with these arguments after it. The path and each argument are
    // passed whole (quoted where the platform builds a command line). False when the start
    // itself failed.
    virtual bool startScript(const std::string& path,
                             const std::vector<std::string>& arguments) = 0;
    // Starts a Windows batch file through the command interpreter, hidden and without
    // waiting, its full path quoted. False when the start failed or the platform has no
    // interpreter for batch files.
    virtual bool startBatchFile(const std::string& path) = 0;
    // Whether this platform has an interpreter for batch files (and the tools they call), so
    // that a batch file written now could run at all.
    [[nodiscard]] virtual bool canStartBatchFiles() const = 0;
    // The AutoPlay settings the companion script changes, read now; nothing when they cannot
    // be read.
    [[nodiscard]] virtual std::optional<std::vector<SystemSetting>> systemSettings() {
        return std::nullopt;
    }
    // The companion's undo record, opened without following a link and refused by its size
    // before it is read.
    [[nodiscard]] virtual UndoRecordFile readUndoRecord() { return {}; }

    // The folder that keeps the full scan's reports (it may not exist yet); empty where the
    // program has none.
    [[nodiscard]] virtual std::string reportFolder() const { return {}; }
    // Opens a web address in the user's browser, detached, without a console window.
    virtual void openUrl(const std::string& url) = 0;

    // True when another copy of the program is running.
    [[nodiscard]] virtual bool previousInstance() = 0;
    // Asks the running copy to bring its window to the front; nothing happens when it
    // cannot be reached.
    virtual void activatePreviousInstance() = 0;
    // Ends the program at once; does not return in the real program.
    virtual void endProgram() = 0;
};

} // namespace tw
