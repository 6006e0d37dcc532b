#include "scan/ModQuickScan.h"

namespace tw {

void QuickScan(Ports& /*ports*/, const std::string& /*drivePath*/) {}

} // namespace tw
