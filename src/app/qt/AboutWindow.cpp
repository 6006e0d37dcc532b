#include "app/qt/AboutWindow.h"

namespace tw::qt {

void showAboutWindow(QWidget* /*mainWindow*/) {}

} // namespace tw::qt
