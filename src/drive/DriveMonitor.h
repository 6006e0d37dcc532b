#pragma once

#include "ports/Ports.h"

namespace tw {

// One tick of the drive monitor (Timer2): probe into the shared result and tell in the
// status line whether a removable drive is connected, has just been removed, or is absent.
void DriveMonitorTick(Ports& ports, AppState& state);

} // namespace tw
