#include "system/SystemImmunization.h"

namespace tw {

void SystemImmunizationClick(Ports& ports) {
    ports.view.setTimer2(false);
    ports.view.setTimer2(true);
}

} // namespace tw
