#include "support/Harness.h"

namespace tw::test {

std::vector<Drive> declaredDrives(const std::string& declaration) {
#ifdef _WIN32
    return parseWin32DeclaredDrives(declaration);
#else
    return parseDeclaredDrives(declaration);
#endif
}

Harness::Harness() : real(std::make_unique<RealFileSystem>("removable=" + stick.path())) {
    view.onTimer2 = [this] { form().Timer2_Timer(); };
}

void Harness::declareDrives(const std::string& declaration) {
    faulty.drivesOverride = [declaration] { return declaredDrives(declaration); };
}

} // namespace tw::test
