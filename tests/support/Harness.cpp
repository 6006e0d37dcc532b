#include "support/Harness.h"

namespace tw::test {

Harness::Harness() : real(std::make_unique<PosixFileSystem>("removable=" + stick.path())) {
    view.onTimer2 = [this] { form().Timer2_Timer(); };
}

void Harness::declareDrives(const std::string& declaration) {
    faulty.drivesOverride = [declaration] { return parseDeclaredDrives(declaration); };
}

} // namespace tw::test
