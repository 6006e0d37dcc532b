#pragma once

#include "ports/Clock.h"

namespace tw {

// Waits a whole number of seconds while window events go on being handled.
void Delay(Clock& clock, int seconds);

} // namespace tw
