#pragma once

class QWidget;

namespace tw::qt {

// Shows the one about window, placed from the main window; brings it to the front when
// it is open, loads it anew when it was closed.
void showAboutWindow(QWidget* mainWindow);

// The about window while it is open, else nullptr.
QWidget* aboutWindow();

} // namespace tw::qt
