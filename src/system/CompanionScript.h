#pragma once

#include "ports/Clock.h"
#include "ports/FileSystem.h"
#include "ports/Host.h"
#include "ports/MainView.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tw {

// The wait for the companion script's working copy: how often it is tested, and when it is
// given up.
inline constexpr std::chrono::milliseconds systemSetPollInterval{100};
inline constexpr std::chrono::milliseconds systemSetTimeout{60000};

// How a run of the companion script ended. The script leaves its outcome in systemset.out
// beside its working copy just before it removes that copy.
enum class CompanionOutcome {
    done,            // the settings are changed (or put back)
    unsupported,     // the desktop has none of the settings the script knows
    nothingRecorded, // undo: no values were recorded, nothing to put back
    badRecord,       // undo: the record is not one the script wrote; it is kept
    failed,          // the script failed, or left no outcome
    notStarted,      // the working copy could not be made or started
    timedOut,        // the working copy was still there after systemSetTimeout
};

// Copies the companion file to the temporary folder as systemset.bat and starts it with
// these arguments; after two seconds waits until the copy is gone, calling whileWaiting
// before each test that still finds it. Then reads and removes the outcome file.
CompanionOutcome runCompanion(FileSystem& fs, Host& host, Clock& clock,
                              const std::vector<std::string>& arguments,
                              const std::function<void()>& whileWaiting);

// The companion file in the program's folder.
std::string companionPath(FileSystem& fs, const Host& host);

// A failure of system immunization, in the status line and a box.
void reportSystemFailure(MainView& view, const std::string& text);

} // namespace tw
