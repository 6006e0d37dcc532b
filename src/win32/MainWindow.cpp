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

    const Picture picture = backgroundPicture();
    m_picture = toBitmap(picture.width, picture.height, picture.pixels.data());
    m_pictureBrush = CreatePatternBrush(m_picture);
    m_optionBrush = CreateSolidBrush(toColorRef(colors::optionBack));
    m_formFont = storedFont(L"华文中宋", 9);
    m_boldFont = storedFont(L"宋体", 10.5, true);
    m_smallFont = storedFont(L"宋体", 9);
    m_bannerFont = storedFont(L"微软雅黑", 10.5);

    CreateWindowExW(0, ids::form1Class, L"Tarnwick Ver 9.9.0.8 BETA", windowStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, this);
    SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_formFont), FALSE);
    buildMenus();
    buildControls();
    fitClientArea();
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
         std::initializer_list<HGDIOBJ>{m_pictureBrush, m_optionBrush, m_picture, m_formFont,
                                        m_boldFont, m_smallFont, m_bannerFont}) {
        if (object != nullptr) {
            DeleteObject(object);
        }
    }
}

void MainWindow::fitClientArea() {
    // The client area below the menu bar is 597 x 397 pixels; the menu bar's height depends
    // on its font, so measure it instead of trusting the estimate.
    RECT client{0, 0, 597, 397};
    AdjustWindowRectEx(&client, windowStyle, TRUE, 0);
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    for (int attempt = 0; attempt < 2; ++attempt) {
        SetWindowPos(m_hwnd, nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT actual{};
        GetClientRect(m_hwnd, &actual);
        width += 597 - (actual.right - actual.left);
        height += 397 - (actual.bottom - actual.top);
    }
    SetWindowPos(m_hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Centred on the work area when it opens.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(m_hwnd, nullptr, std::max(work.left, (work.left + work.right - width) / 2),
                 std::max(work.top, (work.top + work.bottom - height) / 2), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND MainWindow::addLabel(int id, const wchar_t* caption, RECT where, HFONT font) {
    HWND hwnd =
        CreateWindowExW(0, L"STATIC", caption, labelStyle, where.left, where.top,
                        where.right - where.left, where.bottom - where.top, m_hwnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance, nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The stored heights are those of the original fonts: a label grows downward rather
    // than clip the descenders of its substitute.
    const int height = std::max<int>(where.bottom - where.top, lineHeight(hwnd, font));
    SetWindowPos(hwnd, nullptr, 0, 0, where.right - where.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return hwnd;
}

void MainWindow::buildControls() {
    const struct {
        Ctl control;
        const wchar_t* caption;
        RECT where;
        HFONT font;
        Color color;
    } labels[] = {
        {Ctl::Label1, L"关于我们", storedRect(780, 1380, 915, 285), m_boldFont, colors::scrollBar},
        {Ctl::Label2, L"简单免疫", storedRect(2220, 1380, 915, 285), m_boldFont, colors::scrollBar},
        {Ctl::Label3, L"深度免疫", storedRect(3660, 1380, 915, 285), m_boldFont, colors::scrollBar},
        {Ctl::Label4, L"免疫系统", storedRect(5040, 1380, 915, 285), m_boldFont, colors::scrollBar},
        {Ctl::Label5, L"正在进行自身完整性检测......", storedRect(1350, 3480, 2520, 180),
         m_smallFont, colors::grayText},
    };
    // Created in tab-index order, which is also the order a screen reader reads them in.
    for (const auto& item : labels) {
        m_labels[index(item.control)] =
            addLabel(controlId(item.control), item.caption, item.where, item.font);
        m_colors[index(item.control)] = item.color;
    }
    fitLabel5();

    const struct {
        int id;
        const wchar_t* caption;
        RECT where;
        DWORD group;
    } options[] = {
        {ids::Option1_0, L"快速扫描", storedRect(6780, 2490, 1515, 405), WS_GROUP},
        {ids::Option1_1, L"完全扫描", storedRect(6780, 3150, 1545, 345), 0},
    };
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& o = options[i];
        m_options[i] = CreateWindowExW(
            0, L"BUTTON", o.caption,
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | o.group, o.where.left,
            o.where.top, o.where.right - o.where.left, o.where.bottom - o.where.top, m_hwnd,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(o.id)), m_instance, nullptr);
        SendMessageW(m_options[i], WM_SETFONT, reinterpret_cast<WPARAM>(m_smallFont), FALSE);
    }

    m_labels[index(Ctl::Label6)] =
        addLabel(ids::Label6, L"立即扫描（S)", storedRect(7140, 3990, 1095, 285), m_smallFont);
    m_colors[index(Ctl::Label6)] = colors::buttonText;
    EnableWindow(label(Ctl::Label6), FALSE);
    m_labels[index(Ctl::Label7)] =
        addLabel(ids::Label7, L"正在检测U盘......", storedRect(360, 4920, 8295, 240), m_smallFont);
    m_colors[index(Ctl::Label7)] = colors::green;
    ShowWindow(label(Ctl::Label7), SW_HIDE);
    m_label8 = addLabel(ids::Label8, L"Tarnwick将帮助您清除U盘中的病毒。",
                        storedRect(1440, 2520, 4095, 375), m_bannerFont);

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
    HGDIOBJ old = SelectObject(dc, m_smallFont);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), length, &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    SetWindowPos(hwnd, nullptr, 0, 0, size.cx, std::max(12L, metrics.tmHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::setCaption(Ctl control, const std::string& text) {
    SetWindowTextW(label(control), widen(text).c_str());
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
    Color color = colors::darkGreen; // Label8, never changed
    for (std::size_t i = 0; i < m_labels.size(); ++i) {
        if (m_labels.at(i) == control) {
            color = m_colors.at(i);
        }
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
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, m_picture);
    BitBlt(dc, 0, 0, pictureWidth, pictureHeight, memory, 0, 0, SRCCOPY);
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
    case WM_MOUSEMOVE:
        // Only moves over the bare surface arrive here: the controls keep theirs.
        if (m_form != nullptr) {
            m_form->Form_MouseMove();
        }
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
                self->m_form->Label_MouseMove(*control);
                break;
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
                // Before the click that the static control reports to its parent.
                self->m_form->Label_MouseDown(*control);
                break;
            default:
                break;
            }
        }
    }
    return CallWindowProcW(staticProc, hwnd, message, wParam, lParam);
}

} // namespace tw::win32
