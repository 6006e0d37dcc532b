#pragma once

#include "ports/Ports.h"

namespace tw {

// A handler's own protection, run between the announcement and the closing. outside: the
// program's ports; onDrive: the same with the file system pinned to the probed drive.
using ImmunizationSteps = void (*)(Ports& outside, Ports& onDrive, AppState& state);

// The frame both immunization clicks share. Pauses the drive monitor and probes; with no
// removable drive it says so and stops. Otherwise it deletes an autorun.inf file from the
// drive's root after a warning, announces the immunization and runs the steps. The monitor
// runs again afterwards on every path.
void runWithThreatCheck(Ports& ports, AppState& state, ImmunizationSteps steps);

} // namespace tw
