#pragma once

#include "ports/Ports.h"

namespace tw {

// What deep immunization does after the announcement: converts a FAT or FAT32 drive to
// NTFS, waits until a ready removable drive is seen again, builds or reinforces the
// protection as simple immunization does, and denies everyone access to the protective
// folder. Success is reported only when that rule reads back; a conversion is attempted
// only where batch files can run.
// The wait probes through outside, as the drive monitor does: a drive pinned before it went
// away never answers again. The drive that comes back is pinned anew.
void deepImmunization(Ports& outside, Ports& onDrive, AppState& state);

} // namespace tw
