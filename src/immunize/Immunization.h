#pragma once

#include "ports/Ports.h"

namespace tw {

// The clicks of Label2 "简单免疫" and Label3 "深度免疫".
void SimpleImmunizationClick(Ports& ports, AppState& state);
void DeepImmunizationClick(Ports& ports, AppState& state);

} // namespace tw
