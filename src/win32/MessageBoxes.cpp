#include "win32/MessageBoxes.h"

#include "ports/MainView.h"
#include "win32/Win32Text.h"

namespace tw::win32 {

int showMessageBox(HWND owner, const std::string& prompt, int style, const std::string& title) {
    const std::wstring text = widen(prompt);
    const std::wstring caption = widen(title);
    // The buttons in Chinese where the system has that language (是(Y), 否(N), 确定, 取消).
    const int answer =
        MessageBoxExW(owner, text.c_str(), caption.c_str(), static_cast<UINT>(style),
                      MAKELANGID(LANG_CHINESE_SIMPLIFIED, SUBLANG_CHINESE_SIMPLIFIED));
    switch (answer) {
    case IDOK:
        return mb::ok;
    case IDCANCEL:
        return mb::cancel;
    case IDYES:
        return mb::yes;
    case IDNO:
        return mb::no;
    default:
        break;
    }
    switch (style & 0x0F) {
    case mb::yesNo:
        return mb::no;
    case mb::okCancel:
        return mb::cancel;
    default:
        return mb::ok;
    }
}

} // namespace tw::win32
