#pragma once

#include "ports/Ports.h"

#include <cstdint>
#include <string>

namespace tw {

// The guard folder inside the protective folder; its trailing full stops are part of it.
inline constexpr const char* guardFolderName = "Velmora免疫文件夹...";

// Read-only, hidden and system, written as a whole word.
inline constexpr std::uint32_t protectiveAttributes = attr::readOnly | attr::hidden | attr::system;

// The guard folder's path with its trailing separator. Every test and creation of the
// guard folder uses this exact path.
std::string guardFolderPath(const FileSystem& fs, const std::string& autorunPath);

// Writes the protective attributes when a folder stands at the autorun path; a file of
// that name (one that could not be deleted) is left as it is.
void writeProtectiveAttributes(FileSystem& fs, const std::string& autorunPath);

// The steps both immunizations take on the probed drive. On a drive whose protective
// folder lacks its guard folder, reinforcement adds the guard folder and writes the
// protective attributes; on one that has it, it only says so. Either way it then waits
// the given seconds.
void reinforceProtection(Ports& ports, const DriveProbe& probe, int waitSeconds);
// Builds the protective folder and its guard folder, with their waits; true when the guard
// folder is there afterwards.
bool buildProtection(Ports& ports, const DriveProbe& probe);
// The guard folder reads back as a folder from a drive that still answers.
bool guardFolderBuilt(FileSystem& fs, const std::string& autorunPath);

// The outcome of a run, in the status line and a box.
void reportImmunized(MainView& view, const std::string& boxText);
void reportReinforcementFailed(MainView& view);
void reportBuildFailed(MainView& view);

// What simple immunization does after the announcement: builds the protective folder and
// its guard folder, or reinforces a protective folder without a guard folder.
void simpleImmunization(Ports& outside, Ports& ports, AppState& state);

} // namespace tw
