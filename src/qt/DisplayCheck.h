#pragma once

#include <QApplication>

#include <memory>

namespace tw::qt {

// The application object, on a display that can be reached. Without one (no display named,
// or the one named cannot be reached) Qt would abort; this says so on standard error in
// Chinese and English instead and ends the program with status 1.
std::unique_ptr<QApplication> startOnDisplay(int& argc, char** argv);

} // namespace tw::qt
