#pragma once

#include "ports/Ports.h"

#include <ostream>

namespace tw {

// The menu item "撤销系统免疫": asks, runs the companion script with "undo" to put back the
// desktop settings that system immunization found, and reports. Pauses the drive monitor
// while it runs, as system immunization does, and always leaves it running.
void SystemUndoClick(Ports& ports);

// tarnwick --undo-system: the same without a window and without a question (the command
// is the consent). Writes what happened to out, or to err when it failed, in Chinese with
// English beside it; returns the exit status, 0 when nothing is left to undo.
int SystemUndoCommand(FileSystem& fs, Host& host, Clock& clock, std::ostream& out,
                      std::ostream& err);

} // namespace tw
