#pragma once

#include "ports/Ports.h"

#include <chrono>

namespace tw {

// Asks for consent, copies the companion script to the temporary folder as systemset.bat,
// starts it hidden and waits until the script has removed that copy.
void ModSystemSet(Ports& ports);

// The wait for the working copy: how often it is tested, and when it is given up.
inline constexpr std::chrono::milliseconds systemSetPollInterval{100};
inline constexpr std::chrono::milliseconds systemSetTimeout{60000};

} // namespace tw
