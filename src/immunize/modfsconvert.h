#pragma once

#include "ports/Ports.h"

#include <string>

namespace tw {

// Writes convert.bat into the temporary folder, converting the drive to NTFS in place,
// and starts it hidden after two seconds without waiting for it. Nothing is started when
// the file cannot be written.
void modfsconvert(Ports& ports, const std::string& drivePath);

} // namespace tw
