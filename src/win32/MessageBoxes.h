#pragma once

#include <windows.h>

#include <string>

namespace tw::win32 {

// A modal MessageBoxW owned by the window: the box style numbers of the program are the
// native flags. Returns mb::ok, mb::cancel, mb::yes or mb::no; a box that could not be
// shown counts as its cancelling answer.
int showMessageBox(HWND owner, const std::string& prompt, int style, const std::string& title);

} // namespace tw::win32
