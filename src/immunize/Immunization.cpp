#include "immunize/Immunization.h"

#include "immunize/DeepImmunization.h"
#include "immunize/SimpleImmunization.h"
#include "immunize/ThreatCheck.h"

namespace tw {

void SimpleImmunizationClick(Ports& ports, AppState& state) {
    runWithThreatCheck(ports, state, simpleImmunization);
}

void DeepImmunizationClick(Ports& ports, AppState& state) {
    runWithThreatCheck(ports, state, deepImmunization);
}

} // namespace tw
