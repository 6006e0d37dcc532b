#pragma once

#include "ports/Ports.h"

#include <string>

namespace tw {

// Writes cacls.bat into the temporary folder, denying everyone access to the target, and
// starts it hidden without waiting for it. Nothing is started when the file cannot be
// written. True when it was started; whether the rule took effect is for the caller to
// read back.
bool Modfoldercacls(Ports& ports, const std::string& target);

} // namespace tw
