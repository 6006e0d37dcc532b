#pragma once

#include "ports/Ports.h"
#include "system/ModSystemSet.h"

namespace tw {

// The click of Label4 "免疫系统": runs ModSystemSet when the companion file is there, and
// always leaves the drive monitor running.
void SystemImmunizationClick(Ports& ports);

} // namespace tw
