#pragma once

#include "ports/Ports.h"
#include "system/CompanionScript.h"

namespace tw {

// Asks for consent, copies the companion script to the temporary folder as systemset.bat,
// starts it hidden, waits until the script has removed that copy and reports the outcome
// it left.
void ModSystemSet(Ports& ports);

} // namespace tw
