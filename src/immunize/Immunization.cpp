#include "immunize/Immunization.h"

namespace tw {

void SimpleImmunizationClick(Ports& ports, AppState& /*state*/) {
    ports.view.setTimer2(false);
    ports.view.setTimer2(true);
}

void DeepImmunizationClick(Ports& ports, AppState& /*state*/) {
    ports.view.setTimer2(false);
    ports.view.setTimer2(true);
}

} // namespace tw
