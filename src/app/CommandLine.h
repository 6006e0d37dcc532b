#pragma once

#include "ports/Quarantine.h"

#include <cstddef>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class CommandKind {
    window, // no option: the desktop window
    help,
    version,
    listQuarantine,
    restore,
    purge,
    undoSystem, // the work comes through CommandHooks::undoSystem
    fullScan,   // the work comes through CommandHooks::fullScan
    usageError,
};

struct Command {
    CommandKind kind = CommandKind::window;
    std::vector<std::string> arguments; // the option's own
    std::string error;                  // for a usage error: what was wrong
};

// One option: its name, what it does, and how many arguments follow it.
struct OptionSpec {
    std::string_view name;
    CommandKind kind;
    std::size_t minArguments;
    std::size_t maxArguments;
    std::string_view argumentsHelp; // "编号 [文件夹] (ID [FOLDER])"
    std::string_view help;          // empty: an alias, not listed
};

// Every option, in the order the help lists them.
std::span<const OptionSpec> commandLineOptions();

// Reads the arguments after the program's name: one option and its arguments, or none. The
// window toolkit's own options (-platform, -display, -style and their values) may stand
// anywhere; they are passed over here and left to the toolkit.
Command parseCommandLine(const std::vector<std::string>& arguments);

// Work that other parts of the program bring to the command line.
struct CommandHooks {
    std::function<int(std::ostream& out, std::ostream& err)> undoSystem;
    std::function<int(const std::vector<std::string>& arguments, std::ostream& out,
                      std::ostream& err)>
        fullScan;
    // Where the quarantine lies, as the help names it.
    std::string quarantineFolder =
        "$XDG_DATA_HOME/tarnwick/quarantine (~/.local/share/tarnwick/quarantine)";
};

// Runs a command other than the window; returns the exit status: 0 done, 1 failed, 2 a
// usage error.
int runCommand(const Command& command, Quarantine& quarantine, const std::string& version,
               std::ostream& out, std::ostream& err, const CommandHooks& hooks = {});

} // namespace tw
