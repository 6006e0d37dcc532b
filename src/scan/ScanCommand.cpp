#include "scan/ScanCommand.h"

namespace tw {

void ScanCommand(Ports& ports) {
    ports.view.setTimer2(false);
    ports.view.setTimer2(true);
}

} // namespace tw
