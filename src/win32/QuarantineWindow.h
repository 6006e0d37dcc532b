#pragma once

#include "ports/Quarantine.h"

#include <windows.h>

namespace tw::win32 {

// The one quarantine window, owned by the main window: the removed files (time, original
// path, reason, size) in a report-style list with 恢复, 删除 and 关闭. Restores and deletions
// go through the same commands as the command line. Opening it again brings it to the front
// with its list read anew.
void showQuarantineWindow(HINSTANCE instance, HWND owner, Quarantine& quarantine);

// Dialog keys (Tab, Enter, Esc) of the quarantine window while it is open; true when handled.
bool quarantineWindowMessage(MSG& msg);

} // namespace tw::win32
