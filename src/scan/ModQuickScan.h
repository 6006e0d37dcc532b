#pragma once

#include "app/Ports.h"

#include <string>

namespace tw {

// The quick-scan engine: three phases over the root of the drive at drivePath.
void QuickScan(Ports& ports, const std::string& drivePath);

} // namespace tw
