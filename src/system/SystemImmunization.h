#pragma once

#include "app/Ports.h"

namespace tw {

// The click of Label4 "免疫系统".
void SystemImmunizationClick(Ports& ports);

} // namespace tw
