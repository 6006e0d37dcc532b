#pragma once

#include "ports/Quarantine.h"

class QWidget;

namespace tw::qt {

// Shows the one quarantine window over the main window: the removed files (time, original
// path, reason, size) with 恢复 and 删除. Brings it to the front, its list read anew, when it
// is open.
void showQuarantineWindow(QWidget* mainWindow, Quarantine& quarantine);

// The quarantine window while it is open, else nullptr.
QWidget* quarantineWindow();

} // namespace tw::qt
