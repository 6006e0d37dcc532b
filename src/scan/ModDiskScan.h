#pragma once

#include "ports/Ports.h"

namespace tw {

// The start-up scan of every ready fixed disk's root for an autorun.inf file. At its end it
// starts the drive monitor and enables the drive actions.
void ModDiskScan(Ports& ports);

} // namespace tw
