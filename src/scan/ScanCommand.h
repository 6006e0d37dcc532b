#pragma once

#include "ports/Ports.h"

namespace tw {

// The click of Label6 "立即扫描（S)".
void ScanCommand(Ports& ports);

} // namespace tw
