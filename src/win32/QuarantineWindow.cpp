#include "win32/QuarantineWindow.h"

#include "app/QuarantineCommands.h"
#include "win32/Appearance.h"
#include "win32/ControlIds.h"
#include "win32/Win32Text.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace tw::win32 {

namespace {

class QuarantineWindow;
QuarantineWindow* theWindow = nullptr;

constexpr int width = 760;
constexpr int height = 380;
constexpr int margin = 10;
constexpr int buttonWidth = 90;
constexpr int buttonHeight = 26;

// A box with the buttons a Chinese Windows shows; true for 是.
bool ask(HWND owner, const std::string& prompt) {
    return MessageBoxExW(owner, widen(prompt).c_str(), L"提示",
                         static_cast<UINT>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2),
                         MAKELANGID(LANG_CHINESE_SIMPLIFIED, SUBLANG_CHINESE_SIMPLIFIED)) == IDYES;
}

void tell(HWND owner, bool ok, const std::string& text) {
    MessageBoxExW(owner, widen(text).c_str(), L"提示",
                  static_cast<UINT>(MB_OK | (ok ? MB_ICONINFORMATION : MB_ICONWARNING)),
                  MAKELANGID(LANG_CHINESE_SIMPLIFIED, SUBLANG_CHINESE_SIMPLIFIED));
}

// The folder the user picks, or nothing when they cancel.
std::optional<std::string> pickFolder(HWND owner) {
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = L"选择恢复到的文件夹";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    // The new dialog style needs COM on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    wchar_t path[MAX_PATH] = {};
    const bool ok = chosen != nullptr && SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    if (!ok) {
        return std::nullopt;
    }
    return narrow(path);
}

// The top-left corner that centres a window of this size on owner (on the screen without
// one), kept on the owner's monitor's work area.
POINT centredOn(HWND owner, int frameWidth, int frameHeight) {
    RECT over{};
    if (owner == nullptr || !GetWindowRect(owner, &over)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    RECT work = over;
    if (GetMonitorInfoW(MonitorFromRect(&over, MONITOR_DEFAULTTONEAREST), &monitor)) {
        work = monitor.rcWork;
    }
    const auto place = [](LONG low, LONG high, LONG lowLimit, LONG highLimit, int size) {
        const LONG centred = low + (high - low - size) / 2;
        return static_cast<int>(std::max(lowLimit, std::min(centred, highLimit - size)));
    };
    return {place(over.left, over.right, work.left, work.right, frameWidth),
            place(over.top, over.bottom, work.top, work.bottom, frameHeight)};
}

class QuarantineWindow {
public:
    QuarantineWindow(HINSTANCE instance, HWND owner, Quarantine& quarantine)
        : m_quarantine(quarantine) {
        static bool registered = false;
        if (!registered) {
            INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
            InitCommonControlsEx(&controls);
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof(wc);
            wc.lpfnWndProc = &QuarantineWindow::windowProc;
            wc.hInstance = instance;
            wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            wc.lpszClassName = ids::quarantineClass;
            RegisterClassExW(&wc);
            registered = true;
        }
        m_font = storedFont(L"宋体", 9);
        RECT frame{0, 0, width, height};
        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                            WS_MINIMIZEBOX | WS_CLIPCHILDREN;
        AdjustWindowRectEx(&frame, style, FALSE, 0);
        const int frameWidth = frame.right - frame.left;
        const int frameHeight = frame.bottom - frame.top;
        const POINT at = centredOn(owner, frameWidth, frameHeight);
        CreateWindowExW(0, ids::quarantineClass, L"隔离区", style, at.x, at.y, frameWidth,
                        frameHeight, owner, nullptr, instance, this);
    }

    QuarantineWindow(const QuarantineWindow&) = delete;
    QuarantineWindow& operator=(const QuarantineWindow&) = delete;
    ~QuarantineWindow() {
        if (m_font != nullptr) {
            DeleteObject(m_font);
        }
    }

    [[nodiscard]] HWND handle() const { return m_hwnd; }

    void bringToFront() {
        ShowWindow(m_hwnd, IsIconic(m_hwnd) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(m_hwnd);
        SetFocus(m_list);
    }

    // Reads the list anew from the store.
    void refresh() {
        ListView_DeleteAllItems(m_list);
        const auto items = m_quarantine.list();
        const auto rows = quarantineRows(items.value_or(std::vector<QuarantineItem>{}));
        m_ids.clear();
        int row = 0;
        for (const QuarantineRow& shown : rows) {
            m_ids.push_back(shown.id);
            std::wstring cells[4];
            std::transform(shown.cells.begin(), shown.cells.end(), cells,
                           [](const std::string& cell) { return widen(cell); });
            LVITEMW entry{};
            entry.mask = LVIF_TEXT | LVIF_PARAM;
            entry.iItem = row;
            entry.pszText = const_cast<wchar_t*>(cells[0].c_str());
            entry.lParam = row;
            ListView_InsertItem(m_list, &entry);
            for (int column = 1; column < 4; ++column) {
                ListView_SetItemText(m_list, row, column,
                                     const_cast<wchar_t*>(cells[column].c_str()));
            }
            ++row;
        }
        for (int column : {0, 2, 3}) {
            ListView_SetColumnWidth(m_list, column, LVSCW_AUTOSIZE_USEHEADER);
        }
        SetWindowTextW(m_usage,
                       items && m_quarantine.bound() > 0
                           ? widen(quarantineUsageText(*items, m_quarantine.bound())).c_str()
                           : L"");
        layout();
        enableButtons();
        if (!items) {
            tell(m_hwnd, false, "无法读取隔离区。");
        }
    }

    bool dialogMessage(MSG& msg) {
        return (msg.hwnd == m_hwnd || IsChild(m_hwnd, msg.hwnd)) &&
               IsDialogMessageW(m_hwnd, &msg) != 0;
    }

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<QuarantineWindow*>(
                reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->m_hwnd = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<QuarantineWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self == nullptr) {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            if (theWindow == self) {
                theWindow = nullptr;
            }
            // Closing the main window while a box of this one is open destroys it from
            // inside its own handler: the object goes when that handler has returned.
            self->m_destroyed = true;
            if (self->m_depth == 0) {
                delete self;
            }
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        ++self->m_depth;
        const LRESULT result = self->onMessage(message, wParam, lParam);
        if (--self->m_depth == 0 && self->m_destroyed) {
            delete self;
        }
        return result;
    }

    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_CREATE:
            build();
            return 0;
        case WM_SIZE:
            layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize = {420, 240};
            return 0;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->idFrom == static_cast<UINT_PTR>(ids::quarantineItems) &&
                header->code == LVN_ITEMCHANGED) {
                enableButtons();
            }
            return 0;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case ids::quarantineRestore:
                restoreSelected();
                break;
            case ids::quarantinePurge:
                purgeSelected();
                break;
            case ids::quarantineClose:
                DestroyWindow(m_hwnd);
                break;
            default:
                break;
            }
            return 0;
        case WM_CLOSE:
            DestroyWindow(m_hwnd);
            return 0;
        default:
            return DefWindowProcW(m_hwnd, message, wParam, lParam);
        }
    }

    HWND add(const wchar_t* className, const wchar_t* text, DWORD style, int id) {
        HWND control =
            CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, m_hwnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        return control;
    }

    void build() {
        m_intro =
            add(L"STATIC", widen(quarantineIntro).c_str(), SS_LEFTNOWORDWRAP | SS_NOPREFIX, -1);
        m_list = add(WC_LISTVIEWW, L"",
                     WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                     ids::quarantineItems);
        ListView_SetExtendedListViewStyle(m_list, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
        for (int column = 0; column < 4; ++column) {
            std::wstring heading = widen(quarantineHeadings[static_cast<std::size_t>(column)]);
            LVCOLUMNW c{};
            c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            c.pszText = heading.data();
            c.cx = 100;
            c.iSubItem = column;
            ListView_InsertColumn(m_list, column, &c);
        }
        m_restore = add(L"BUTTON", L"恢复(&R)", WS_TABSTOP | BS_PUSHBUTTON, ids::quarantineRestore);
        m_purge = add(L"BUTTON", L"删除(&D)", WS_TABSTOP | BS_PUSHBUTTON, ids::quarantinePurge);
        m_close = add(L"BUTTON", L"关闭", WS_TABSTOP | BS_PUSHBUTTON, ids::quarantineClose);
        m_usage = add(L"STATIC", L"", SS_RIGHT | SS_NOPREFIX, ids::quarantineUsage);
        refresh();
    }

    // The list fills the window; the original path takes the width the other columns leave.
    void layout() {
        if (m_list == nullptr) {
            return;
        }
        RECT client{};
        GetClientRect(m_hwnd, &client);
        const int introHeight = lineHeight(m_intro, m_font) + 4;
        const int buttonsTop = client.bottom - margin - buttonHeight;
        MoveWindow(m_intro, margin, margin, client.right - 2 * margin, introHeight, TRUE);
        const int listTop = margin + introHeight + 6;
        MoveWindow(m_list, margin, listTop, client.right - 2 * margin, buttonsTop - 8 - listTop,
                   TRUE);
        MoveWindow(m_restore, margin, buttonsTop, buttonWidth, buttonHeight, TRUE);
        MoveWindow(m_purge, margin + buttonWidth + 8, buttonsTop, buttonWidth, buttonHeight, TRUE);
        MoveWindow(m_close, client.right - margin - buttonWidth, buttonsTop, buttonWidth,
                   buttonHeight, TRUE);
        const int usageLeft = margin + 2 * (buttonWidth + 8);
        const int usageHeight = lineHeight(m_usage, m_font);
        MoveWindow(
            m_usage, usageLeft, buttonsTop + (buttonHeight - usageHeight) / 2,
            std::max(0, static_cast<int>(client.right) - margin - buttonWidth - 8 - usageLeft),
            usageHeight, TRUE);
        RECT inside{};
        GetClientRect(m_list, &inside);
        int others = 0;
        for (int column : {0, 2, 3}) {
            others += ListView_GetColumnWidth(m_list, column);
        }
        ListView_SetColumnWidth(m_list, 1, std::max(120, static_cast<int>(inside.right) - others));
    }

    [[nodiscard]] std::optional<std::string> selectedId() const {
        const int row = ListView_GetNextItem(m_list, -1, LVNI_SELECTED);
        if (row < 0 || static_cast<std::size_t>(row) >= m_ids.size()) {
            return std::nullopt;
        }
        return m_ids[static_cast<std::size_t>(row)];
    }

    void enableButtons() {
        const bool any = selectedId().has_value();
        EnableWindow(m_restore, any ? TRUE : FALSE);
        EnableWindow(m_purge, any ? TRUE : FALSE);
    }

    void restoreSelected() {
        const auto id = selectedId();
        if (!id) {
            return;
        }
        QuarantineReport report = restoreItem(m_quarantine, *id, std::nullopt);
        const bool elsewhere = asksForFolder(report.outcome);
        if (elsewhere) {
            if (!ask(m_hwnd, report.zh + "\n是否恢复到其他文件夹？") || m_destroyed) {
                return;
            }
            const auto folder = pickFolder(m_hwnd);
            if (!folder || m_destroyed) {
                return;
            }
            report = restoreItem(m_quarantine, *id, folder);
        }
        tell(m_hwnd, report.ok, report.zh);
        if (!m_destroyed) {
            refresh();
        }
    }

    void purgeSelected() {
        const auto id = selectedId();
        if (!id || !ask(m_hwnd, "确定要从隔离区永久删除所选文件吗？删除后将无法恢复。") ||
            m_destroyed) {
            return;
        }
        const QuarantineReport report = purgeItem(m_quarantine, *id);
        if (!report.ok) {
            tell(m_hwnd, false, report.zh);
        }
        if (!m_destroyed) {
            refresh();
        }
    }

    Quarantine& m_quarantine;
    HWND m_hwnd = nullptr;
    HFONT m_font = nullptr;
    HWND m_intro = nullptr;
    HWND m_list = nullptr;
    HWND m_restore = nullptr;
    HWND m_purge = nullptr;
    HWND m_close = nullptr;
    HWND m_usage = nullptr;
    std::vector<std::string> m_ids; // in the list's order
    int m_depth = 0;                // handlers of this window running
    bool m_destroyed = false;
};

} // namespace

void showQuarantineWindow(HINSTANCE instance, HWND owner, Quarantine& quarantine) {
    if (theWindow == nullptr) {
        theWindow = new QuarantineWindow(instance, owner, quarantine);
        if (theWindow->handle() == nullptr) {
            delete theWindow;
            theWindow = nullptr;
            return;
        }
    } else {
        theWindow->refresh();
    }
    theWindow->bringToFront();
}

bool quarantineWindowMessage(MSG& msg) {
    return theWindow != nullptr && theWindow->dialogMessage(msg);
}

} // namespace tw::win32
