#include "win32/MainWindow.h"

#include "app/Form1.h"
#include "win32/AboutWindow.h"
#include "win32/Appearance.h"
#include "win32/Artwork.h"
#include "win32/ControlIds.h"
#include "win32/MessageBoxes.h"
#include "win32/QuarantineWindow.h"
#include "win32/Win32Text.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <string>

namespace tw::win32 {

namespace {

constexpr Ctl actionLabels[] = {Ctl::Label1, Ctl::Label2, Ctl::Label3, Ctl::Label4, Ctl::Label6};

constexpr int controlId(Ctl control) {
    return ids::Label1 + static_cast<int>(control);
}

std::size_t index(Ctl control) {
    return static_cast<std::size_t>(control);
}

constexpr DWORD windowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// Labels are hit-tested (SS_NOTIFY) so that the pointer over one is not over the bare
// window; they never wrap, and an "&" in a path from a stick is not a mnemonic.
constexpr DWORD labelStyle = WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY;

WNDPROC staticProc = nullptr;

// WM_DPICHANGED, which the headers for Windows 7 do not name.
constexpr UINT dpiChangedMessage = 0x02E0;

} // namespace

MainWindow::MainWindow(HINSTANCE instance) : m_instance(instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &MainWindow::windowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = ids::form1Class;
    RegisterClassExW(&wc);

    m_optionBrush = CreateSolidBrush(toColorRef(colors::optionBack));
    CreateWindowExW(0, ids::form1Class, L"Tarnwick Ver 9.9.0.8 BETA", windowStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, this);
    m_dpi = windowDpi(m_hwnd);
    makeFonts();
    buildMenus();
    buildControls();
    layOut();
    fitClientArea(nullptr);
    // Centred on the work area when it opens.
    RECT outer{};
    GetWindowRect(m_hwnd, &outer);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    SetWindowPos(m_hwnd, nullptr, std::max(work.left, (work.left + work.right - width) / 2),
                 std::max(work.top, (work.top + work.bottom - height) / 2), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

MainWindow::~MainWindow() {
    if (m_hwnd != nullptr) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
    if (m_accelerators != nullptr) {
        DestroyAcceleratorTable(m_accelerators);
    }
    for (HGDIOBJ object :
         std::initializer_list<HGDIOBJ>{m_pictureBrush, m_optionBrush, m_picture}) {
        if (object != nullptr) {
            DeleteObject(object);
        }
    }
    for (HFONT font : m_fonts) {
        if (font != nullptr) {
            DeleteObject(font);
        }
    }
}

void MainWindow::makeFonts() {
    const std::array<HFONT, fontCount> old = m_fonts;
    m_fonts[formFont] = storedFont(L"华文中宋", 9, false, m_dpi);
    m_fonts[boldFont] = storedFont(L"宋体", 10.5, true, m_dpi);
    m_fonts[smallFont] = storedFont(L"宋体", 9, false, m_dpi);
    m_fonts[bannerFont] = storedFont(L"微软雅黑", 10.5, false, m_dpi);
    SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_fonts[formFont]), FALSE);
    // The controls still hold the old fonts until they are laid out anew.
    for (Placed& p : m_placed) {
        SendMessageW(p.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_fonts[p.font]), FALSE);
    }
    for (HFONT font : old) {
        if (font != nullptr) {
            DeleteObject(font);
        }
    }
}

void MainWindow::fitClientArea(const RECT* suggested) {
    // The client area below the menu bar keeps its stored size in twips; the menu bar's
    // height depends on its font, so measure it instead of trusting the estimate.
    const int wanted = twipsToPixels(8955, m_dpi);
    const int wantedHeight = twipsToPixels(5955, m_dpi);
    const RECT estimate = windowRectForClient(wanted, wantedHeight, windowStyle, true, m_dpi);
    int width = estimate.right - estimate.left;
    int height = estimate.bottom - estimate.top;
    UINT move = SWP_NOMOVE;
    int left = 0;
    int top = 0;
    if (suggested != nullptr) {
        move = 0;
        left = suggested->left;
        top = suggested->top;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        SetWindowPos(m_hwnd, nullptr, left, top, width, height,
                     move | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT actual{};
        GetClientRect(m_hwnd, &actual);
        width += wanted - (actual.right - actual.left);
        height += wantedHeight - (actual.bottom - actual.top);
    }
    SetWindowPos(m_hwnd, nullptr, left, top, width, height, move | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND MainWindow::addLabel(int id, const wchar_t* caption, RECT twips, Font font) {
    HWND hwnd =
        CreateWindowExW(0, L"STATIC", caption, labelStyle, 0, 0, 0, 0, m_hwnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance, nullptr);
    m_placed.push_back({hwnd, twips, font});
    return hwnd;
}

void MainWindow::layOut() {
    for (const Placed& p : m_placed) {
        const RECT r = storedRect(p.twips.left, p.twips.top, p.twips.right, p.twips.bottom, m_dpi);
        HFONT font = m_fonts[p.font];
        SendMessageW(p.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        int height = r.bottom - r.top;
        wchar_t className[16] = {};
        GetClassNameW(p.hwnd, className, 16);
        if (lstrcmpiW(className, L"STATIC") == 0) {
            // The stored heights are those of the original fonts: a label grows downward
            // rather than clip the descenders of its substitute.
            height = std::max(height, lineHeight(p.hwnd, font));
        }
        SetWindowPos(p.hwnd, nullptr, r.left, r.top, r.right - r.left, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    fitLabel5();
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void MainWindow::makePicture() {
    if (m_picture != nullptr) {
        return;
    }
    // Drawn at the window's resolution, so that the header stays sharp when scaled.
    const Picture picture = backgroundPicture(m_dpi / 96.0);
    m_picture = toBitmap(picture.width, picture.height, picture.pixels.data());
    m_pictureBrush = CreatePatternBrush(m_picture);
}

void MainWindow::onDpiChanged(UINT dpi, const RECT* suggested) {
    m_dpi = dpi;
    if (m_pictureBrush != nullptr) {
        DeleteObject(m_pictureBrush);
        m_pictureBrush = nullptr;
    }
    if (m_picture != nullptr) {
        DeleteObject(m_picture);
        m_picture = nullptr;
    }
    makeFonts();
    layOut();
    fitClientArea(suggested);
}

void MainWindow::buildControls() {
    const struct {
        Ctl control;
        const wchar_t* caption;
        RECT twips;
        Font font;
        Color color;
    } labels[] = {
        {Ctl::Label1, L"关于我们", {780, 1380, 915, 285}, boldFont, colors::scrollBar},
        {Ctl::Label2, L"简单免疫", {2220, 1380, 915, 285}, boldFont, colors::scrollBar},
        {Ctl::Label3, L"深度免疫", {3660, 1380, 915, 285}, boldFont, colors::scrollBar},
        {Ctl::Label4, L"免疫系统", {5040, 1380, 915, 285}, boldFont, colors::scrollBar},
        {Ctl::Label5,
         L"正在进行自身完整性检测......",
         {1350, 3480, 2520, 180},
         smallFont,
         colors::grayText},
    };
    // Created in tab-index order, which is also the order a screen reader reads them in.
    for (const auto& item : labels) {
        m_labels[index(item.control)] =
            addLabel(controlId(item.control), item.caption, item.twips, item.font);
        m_colors[index(item.control)] = item.color;
    }

    const struct {
        int id;
        const wchar_t* caption;
        RECT twips;
        DWORD group;
    } options[] = {
        {ids::Option1_0, L"快速扫描", {6780, 2490, 1515, 405}, WS_GROUP},
        {ids::Option1_1, L"完全扫描", {6780, 3150, 1545, 345}, 0},
    };
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& o = options[i];
        m_options[i] = CreateWindowExW(
            0, L"BUTTON", o.caption,
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | o.group, 0, 0, 0, 0, m_hwnd,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(o.id)), m_instance, nullptr);
        m_placed.push_back({m_options[i], o.twips, smallFont});
    }

    m_labels[index(Ctl::Label6)] =
        addLabel(ids::Label6, L"立即扫描（S)", {7140, 3990, 1095, 285}, smallFont);
    m_colors[index(Ctl::Label6)] = colors::buttonText;
    EnableWindow(label(Ctl::Label6), FALSE);
    m_labels[index(Ctl::Label7)] =
        addLabel(ids::Label7, L"正在检测U盘......", {360, 4920, 8295, 240}, smallFont);
    m_colors[index(Ctl::Label7)] = colors::green;
    ShowWindow(label(Ctl::Label7), SW_HIDE);
    m_label8 = addLabel(ids::Label8, L"Tarnwick将帮助您清除U盘中的病毒。", {1440, 2520, 4095, 375},
                        bannerFont);

    // The action labels report the pointer moving over them and the buttons pressed on them.
    for (const Ctl control : actionLabels) {
        HWND hwnd = label(control);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        const auto previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::actionLabelProc)));
        staticProc = previous;
    }
}

void MainWindow::buildMenus() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu(); // vbfile
    AppendMenuW(file, MF_STRING, ids::vbquarantine, L"隔离区(&Q)...");
    AppendMenuW(file, MF_STRING, ids::vbundosystem, L"撤销系统免疫(&U)");
    AppendMenuW(file, MF_STRING, ids::vbreport, L"查看完全扫描报告(&R)...");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, ids::vbexit, L"退出(&X)\tCtrl+X");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"操作(&F)");
    HMENU help = CreatePopupMenu(); // vbhelp
    AppendMenuW(help, MF_STRING, ids::vbhelpinfo, L"技术支持(&S)\tCtrl+S");
    AppendMenuW(help, MF_STRING, ids::about, L"关于我们(&A)\tCtrl+A");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"帮助(&H)");
    SetMenu(m_hwnd, bar);

    ACCEL keys[] = {
        {FVIRTKEY | FCONTROL, 'X', ids::vbexit},
        {FVIRTKEY | FCONTROL, 'S', ids::vbhelpinfo},
        {FVIRTKEY | FCONTROL, 'A', ids::about},
    };
    m_accelerators = CreateAcceleratorTableW(keys, 3);
}

void MainWindow::show() {
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
    UpdateWindow(m_hwnd);
}

bool MainWindow::preTranslate(MSG& msg) {
    if (m_hwnd == nullptr || (msg.hwnd != m_hwnd && !IsChild(m_hwnd, msg.hwnd))) {
        return false;
    }
    if (m_accelerators != nullptr && TranslateAcceleratorW(m_hwnd, m_accelerators, &msg) != 0) {
        return true;
    }
    return IsDialogMessageW(m_hwnd, &msg) != 0;
}

HWND MainWindow::label(Ctl control) const {
    return m_labels.at(index(control));
}

std::optional<Ctl> MainWindow::actionLabel(int id) const {
    for (const Ctl control : actionLabels) {
        if (controlId(control) == id) {
            return control;
        }
    }
    return std::nullopt;
}

void MainWindow::fitLabel5() {
    // Label5 sizes itself to its text.
    HWND hwnd = label(Ctl::Label5);
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, m_fonts[smallFont]);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), length, &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    SetWindowPos(hwnd, nullptr, 0, 0, size.cx,
                 std::max<LONG>(twipsToPixels(180, m_dpi), metrics.tmHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::setCaption(Ctl control, const std::string& text) {
    // The monitor writes the same status every three seconds: an unchanged text is not
    // drawn again, so that the idle window costs nothing.
    const std::wstring wide = widen(text);
    HWND hwnd = label(control);
    const int length = GetWindowTextLengthW(hwnd);
    if (length == static_cast<int>(wide.size())) {
        std::wstring now(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(hwnd, now.data(), length + 1);
        now.resize(static_cast<std::size_t>(length));
        if (now == wide) {
            return;
        }
    }
    SetWindowTextW(hwnd, wide.c_str());
    if (control == Ctl::Label5) {
        fitLabel5();
    }
}

void MainWindow::setForeColor(Ctl control, Color color) {
    if (m_colors.at(index(control)) == color) {
        return; // the hover sets the same colour on every move: no repaint
    }
    m_colors.at(index(control)) = color;
    InvalidateRect(label(control), nullptr, TRUE);
}

void MainWindow::setVisible(Ctl control, bool visible) {
    ShowWindow(label(control), visible ? SW_SHOWNA : SW_HIDE);
}

void MainWindow::setEnabled(Ctl control, bool enabled) {
    EnableWindow(label(control), enabled ? TRUE : FALSE);
}

bool MainWindow::isEnabled(Ctl control) const {
    return IsWindowEnabled(label(control)) != 0;
}

bool MainWindow::optionValue(int index) const {
    return index >= 0 && index < 2 &&
           SendMessageW(m_options.at(static_cast<std::size_t>(index)), BM_GETCHECK, 0, 0) ==
               BST_CHECKED;
}

void MainWindow::setTimer1(bool enabled) {
    if (enabled && !m_timer1) {
        SetTimer(m_hwnd, ids::Timer1, 1000, nullptr);
    } else if (!enabled) {
        KillTimer(m_hwnd, ids::Timer1);
    }
    m_timer1 = enabled;
}

void MainWindow::setTimer2(bool enabled) {
    // Enabling a running timer leaves its interval alone.
    if (enabled && !m_timer2) {
        SetTimer(m_hwnd, ids::Timer2, 3000, nullptr);
    } else if (!enabled) {
        KillTimer(m_hwnd, ids::Timer2);
    }
    m_timer2 = enabled;
}

int MainWindow::msgBox(const std::string& prompt, int style, const std::string& title) {
    return showMessageBox(m_hwnd, prompt, style, title);
}

void MainWindow::showAbout() {
    AboutWindow::show(m_instance, m_hwnd);
}

void MainWindow::showQuarantine(Quarantine& quarantine) {
    // Its layout is in 96-dpi pixels: at a larger scale Windows enlarges it as a whole.
    const UnscaledWindows unscaled;
    showQuarantineWindow(m_instance, m_hwnd, quarantine);
}

HBRUSH MainWindow::colorStatic(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id == ids::Option1_0 || id == ids::Option1_1) {
        SetTextColor(dc, toColorRef(colors::black));
        SetBkColor(dc, toColorRef(colors::optionBack));
        return m_optionBrush;
    }
    // The labels are transparent: their background is their piece of the picture.
    makePicture();
    Color color = colors::darkGreen; // Label8, never changed
    for (std::size_t i = 0; i < m_labels.size(); ++i) {
        if (m_labels.at(i) == control) {
            color = m_colors.at(i);
        }
    }
    if (IsWindowEnabled(control) == 0) {
        color = Form1::disabledForeColor;
    }
    POINT origin{0, 0};
    MapWindowPoints(control, m_hwnd, &origin, 1);
    SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
    SetTextColor(dc, toColorRef(color));
    SetBkMode(dc, TRANSPARENT);
    return m_pictureBrush;
}

void MainWindow::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hwnd, &ps);
    makePicture();
    BITMAP size{};
    GetObjectW(m_picture, sizeof(size), &size);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, m_picture);
    BitBlt(dc, 0, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    EndPaint(m_hwnd, &ps);
}

LRESULT CALLBACK MainWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->onMessage(hwnd, message, wParam, lParam);
}

LRESULT MainWindow::onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the picture covers the whole client area
    case WM_PAINT:
        paint();
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(
            colorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_MOUSEMOVE: {
        if (m_form == nullptr) {
            return 0;
        }
        // Enabled controls keep their moves; those over a disabled one come here, and a
        // disabled label is still no bare surface (the handler leaves it alone).
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        HWND under = ChildWindowFromPointEx(m_hwnd, at, CWP_SKIPINVISIBLE);
        if (under == nullptr || under == m_hwnd) {
            m_form->Form_MouseMove();
        } else if (const std::optional<Ctl> control = actionLabel(GetDlgCtrlID(under))) {
            m_form->Label_MouseMove(*control);
        }
        return 0;
    }
    case dpiChangedMessage:
        onDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_TIMER:
        if (m_form != nullptr && wParam == ids::Timer1) {
            m_form->Timer1_Timer();
        } else if (m_form != nullptr && wParam == ids::Timer2) {
            m_form->Timer2_Timer();
        }
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (m_form == nullptr) {
            return 0;
        }
        if (lParam == 0) { // a menu item or its shortcut
            if (id == ids::vbquarantine) {
                m_form->vbquarantine_Click();
            } else if (id == ids::vbundosystem) {
                m_form->vbundosystem_Click();
            } else if (id == ids::vbreport) {
                m_form->vbreport_Click();
            } else if (id == ids::vbexit) {
                m_form->vbexit_Click();
            } else if (id == ids::vbhelpinfo) {
                m_form->vbhelpinfo_Click();
            } else if (id == ids::about) {
                m_form->about_Click();
            }
            return 0;
        }
        // The labels' own presses never send this (their proc keeps the press from the static
        // control): it comes from automation, a click as a whole.
        const std::optional<Ctl> control = actionLabel(id);
        if (control && HIWORD(wParam) == STN_CLICKED) {
            m_form->Label_Click(*control);
        }
        return 0;
    }
    case WM_SYSCOLORCHANGE:
        // System colours follow the new scheme.
        InvalidateRect(m_hwnd, nullptr, TRUE);
        return 0;
    case WM_CLOSE:
        if (m_form != nullptr) {
            m_form->Form_Unload();
        }
        DestroyWindow(m_hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        m_hwnd = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::actionLabelProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && self->m_form != nullptr) {
        const std::optional<Ctl> control = self->actionLabel(GetDlgCtrlID(hwnd));
        if (control) {
            switch (message) {
            case WM_MOUSEMOVE:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
                self->onLabelMouse(*control, message, lParam);
                break; // the static control sees these too
            case WM_LBUTTONDOWN:
            case WM_LBUTTONUP:
            case WM_LBUTTONDBLCLK:
            case WM_CAPTURECHANGED:
                // Not passed on: the static control would report a click on the press.
                self->onLabelMouse(*control, message, lParam);
                return 0;
            default:
                break;
            }
        }
    }
    return CallWindowProcW(staticProc, hwnd, message, wParam, lParam);
}

void MainWindow::onLabelMouse(Ctl control, UINT message, LPARAM lParam) {
    HWND hwnd = label(control);
    switch (message) {
    case WM_MOUSEMOVE:
        m_form->Label_MouseMove(control);
        break;
    case WM_LBUTTONDOWN:
        m_form->Label_MouseDown(control);
        // Held until the release, wherever the pointer goes meanwhile.
        m_pressed = control;
        SetCapture(hwnd);
        break;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        m_form->Label_MouseDown(control);
        break;
    case WM_LBUTTONDBLCLK:
        // The second press of a double click is no new click.
        m_pressed.reset();
        break;
    case WM_LBUTTONUP: {
        RECT inside{};
        GetClientRect(hwnd, &inside);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const bool click = m_pressed == control && PtInRect(&inside, at) != 0;
        m_pressed.reset();
        if (GetCapture() == hwnd) {
            ReleaseCapture();
        }
        if (click) {
            m_form->Label_Click(control);
        }
        break;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd) {
            m_pressed.reset();
        }
        break;
    default:
        break;
    }
}

} // namespace tw::win32
