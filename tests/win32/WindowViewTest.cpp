// What the native windows add to the behaviour: control places in pixels at the screen's
// resolution, fonts, mouse handling, disabled looks and the about window. Events are sent
// to the window that Windows would deliver them to.
#include "app/Form1.h"
#include "support/NullPorts.h"
#include "win32/AboutWindow.h"
#include "win32/ControlIds.h"
#include "win32/MainWindow.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32Text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace tw::win32 {
namespace {

// Makes the resolution of this process per monitor (as the program's manifest does), before
// its first window.
void becomeDpiAware() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    const auto set = reinterpret_cast<SetContextFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (set == nullptr || set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))) == 0) {
        SetProcessDPIAware(); // per monitor, version 2 unknown: the system's resolution
    }
}

// The system colours the labels use, made distinct for the test: the default scheme has
// button text and black alike.
class DistinctScheme {
public:
    DistinctScheme() {
        for (int i = 0; i < 3; ++i) {
            m_saved[i] = GetSysColor(m_indexes[i]);
        }
        const COLORREF distinct[] = {RGB(0xc8, 0xc8, 0xc9), RGB(0x6d, 0x6d, 0x6e),
                                     RGB(0x10, 0x18, 0x20)};
        SetSysColors(3, m_indexes, distinct);
    }
    ~DistinctScheme() { SetSysColors(3, m_indexes, m_saved); }
    DistinctScheme(const DistinctScheme&) = delete;
    DistinctScheme& operator=(const DistinctScheme&) = delete;

private:
    INT m_indexes[3] = {COLOR_SCROLLBAR, COLOR_GRAYTEXT, COLOR_BTNTEXT};
    COLORREF m_saved[3] = {};
};

class Win32View : public ::testing::Test {
protected:
    Win32View() {
        window.attach(form);
        window.show();
    }
    ~Win32View() override {
        if (HWND about = AboutWindow::current()) {
            DestroyWindow(about);
        }
    }

    HWND main() const { return window.handle(); }
    HWND child(int id) const { return GetDlgItem(main(), id); }
    // A child's place in the main window's client area.
    RECT place(HWND hwnd) const {
        RECT r{};
        GetWindowRect(hwnd, &r);
        MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // The text colour a label is drawn with, by name.
    std::string colour(int id) const {
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageW(main(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(child(id)));
        const COLORREF c = GetTextColor(dc);
        DeleteDC(dc);
        static const std::map<COLORREF, std::string> names = {
            {RGB(255, 0, 0), "red"},          {RGB(0, 0, 0), "black"},
            {RGB(0xc8, 0xc8, 0xc9), "sys0"},  {RGB(0x6d, 0x6d, 0x6e), "sys17"},
            {RGB(0x10, 0x18, 0x20), "sys18"}, {RGB(0, 192, 0), "green"},
        };
        const auto it = names.find(c);
        return it == names.end() ? std::to_string(c) : it->second;
    }
    std::string actionColours() const {
        return colour(ids::Label1) + " " + colour(ids::Label2) + " " + colour(ids::Label3) + " " +
               colour(ids::Label4) + " " + colour(ids::Label6);
    }
    // The pointer over the middle of a control: Windows gives an enabled control its own
    // mouse messages and those over a disabled one to the window beneath.
    void mouse(int id, UINT message, bool inside = true) const {
        HWND target = child(id);
        RECT r{};
        GetClientRect(target, &r);
        POINT at{inside ? r.right / 2 : r.right + 5, r.bottom / 2};
        if (IsWindowEnabled(target) == 0) {
            MapWindowPoints(target, main(), &at, 1);
            target = main();
        }
        SendMessageW(target, message, 0, MAKELPARAM(at.x, at.y));
    }
    void surface(UINT message = WM_MOUSEMOVE) const {
        SendMessageW(main(), message, 0, MAKELPARAM(10, 250));
    }

    DistinctScheme scheme;
    Win32FileSystem fs;
    test::NullHost host;
    test::NoWait clock;
    test::NullQuarantine quarantine;
    AppState state;
    MainWindow window{GetModuleHandleW(nullptr)};
    Form1 form{Ports{fs, host, window, clock, quarantine}, state};
};

struct Font {
    std::string face;
    LONG height;
    LONG weight;
};

Font fontOf(HWND hwnd) {
    LOGFONTW f{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof(f), &f);
    return {narrow(f.lfFaceName), f.lfHeight, f.lfWeight};
}

// The stored twips as whole pixels, at 96 dpi and at 144 (150 %), with the fonts in points
// scaled alike. Heights of labels may grow to their substitute font's line.
struct Expected {
    UINT dpi;
    std::map<int, std::vector<int>> places; // id: left, top, width, height
    int clientWidth;
    int clientHeight;
    LONG bold105; // 宋体 10.5 point
    LONG small9;  // 宋体 9 point
    int aboutWidth;
    int aboutHeight;
};

const Expected layouts[] = {
    {96,
     {{ids::Label1, {52, 92, 61, 19}},
      {ids::Label2, {148, 92, 61, 19}},
      {ids::Label3, {244, 92, 61, 19}},
      {ids::Label4, {336, 92, 61, 19}},
      {ids::Option1_0, {452, 166, 101, 27}},
      {ids::Option1_1, {452, 210, 103, 23}},
      {ids::Label6, {476, 266, 73, 19}},
      {ids::Label7, {24, 328, 553, 16}},
      {ids::Label8, {96, 168, 273, 25}}},
     597,
     397,
     -14,
     -12,
     383,
     245},
    {144,
     {{ids::Label1, {78, 138, 91, 28}},
      {ids::Label2, {222, 138, 91, 28}},
      {ids::Label3, {366, 138, 91, 28}},
      {ids::Label4, {504, 138, 91, 28}},
      {ids::Option1_0, {678, 249, 151, 40}},
      {ids::Option1_1, {678, 315, 154, 34}},
      {ids::Label6, {714, 399, 109, 28}},
      {ids::Label7, {36, 492, 829, 24}},
      {ids::Label8, {144, 252, 409, 37}}},
     895,
     595,
     -21,
     -18,
     574,
     367},
};

void checkLayout(const MainWindow& window, const Expected& e) {
    SCOPED_TRACE(e.dpi);
    ASSERT_EQ(window.dpi(), e.dpi);
    HWND main = window.handle();
    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, e.clientWidth);
    EXPECT_EQ(client.bottom, e.clientHeight);
    for (const auto& [id, want] : e.places) {
        SCOPED_TRACE(id);
        HWND hwnd = GetDlgItem(main, id);
        RECT r{};
        GetWindowRect(hwnd, &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, want[0]);
        EXPECT_EQ(r.top, want[1]);
        EXPECT_EQ(r.right - r.left, want[2]);
        if (id == ids::Option1_0 || id == ids::Option1_1) {
            EXPECT_EQ(r.bottom - r.top, want[3]);
        } else {
            EXPECT_GE(r.bottom - r.top, want[3]);
        }
    }
    const struct {
        int id;
        const char* face;
        LONG height;
        LONG weight;
    } fonts[] = {
        {ids::Label1, "宋体", e.bold105, FW_BOLD},
        {ids::Label4, "宋体", e.bold105, FW_BOLD},
        {ids::Label5, "宋体", e.small9, FW_NORMAL},
        {ids::Label6, "宋体", e.small9, FW_NORMAL},
        {ids::Label7, "宋体", e.small9, FW_NORMAL},
        {ids::Option1_0, "宋体", e.small9, FW_NORMAL},
        {ids::Label8, "微软雅黑", e.bold105, FW_NORMAL},
    };
    for (const auto& f : fonts) {
        const Font font = fontOf(GetDlgItem(main, f.id));
        EXPECT_EQ(font.face, f.face) << f.id;
        EXPECT_EQ(font.height, f.height) << f.id;
        EXPECT_EQ(font.weight, f.weight) << f.id;
    }
    // Label5 sizes itself to its text.
    HWND label5 = GetDlgItem(main, ids::Label5);
    RECT r{};
    GetWindowRect(label5, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, e.dpi == 96 ? 90 : 135);
    EXPECT_EQ(r.top, e.dpi == 96 ? 232 : 348);
    const std::wstring text = widen("正在进行自身完整性检测......");
    HDC dc = GetDC(label5);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label5, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ReleaseDC(label5, dc);
    EXPECT_EQ(r.right - r.left, size.cx);
}

// The layout at the resolution this process runs at; the test below runs it in a child
// process for each resolution, since Windows fixes the system's resolution when a program
// starts.
TEST(Win32Layout, AtThisResolution) {
    const char* wanted = std::getenv("TARNWICK_TEST_DPI");
    if (wanted == nullptr) {
        GTEST_SKIP() << "run by KeepsTheStoredTwipsAt96And144Dpi";
    }
    becomeDpiAware();
    test::NullHost host;
    test::NoWait clock;
    test::NullQuarantine quarantine;
    Win32FileSystem fs;
    AppState state;
    MainWindow window(GetModuleHandleW(nullptr));
    Form1 form(Ports{fs, host, window, clock, quarantine}, state);
    window.attach(form);
    for (const Expected& e : layouts) {
        if (e.dpi != static_cast<UINT>(std::atoi(wanted))) {
            continue;
        }
        checkLayout(window, e);
        // The about window at the same resolution, its marquee wide enough for its line.
        form.about_Click();
        HWND about = AboutWindow::current();
        ASSERT_NE(about, nullptr);
        RECT client{};
        GetClientRect(about, &client);
        EXPECT_EQ(client.right, e.aboutWidth);
        EXPECT_EQ(client.bottom, e.aboutHeight);
        HWND marquee = GetDlgItem(GetDlgItem(about, ids::Picture1), ids::Label5);
        EXPECT_EQ(fontOf(marquee).height, e.small9);
        const std::wstring line = widen(Form2::contactLine);
        HDC dc = GetDC(marquee);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(marquee, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        ReleaseDC(marquee, dc);
        RECT width{};
        GetClientRect(marquee, &width);
        EXPECT_GE(width.right, size.cx);
        DestroyWindow(about);
        return;
    }
    FAIL() << "no layout for " << wanted;
}

// Wine takes the screen's resolution from its LogPixels value when a program starts.
class LogPixels {
public:
    LogPixels() {
        DWORD size = sizeof(m_saved);
        m_had = RegGetValueW(HKEY_CURRENT_USER, m_key, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                             &m_saved, &size) == ERROR_SUCCESS;
    }
    ~LogPixels() {
        if (m_had) {
            set(m_saved);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, m_key, L"LogPixels");
        }
    }
    LogPixels(const LogPixels&) = delete;
    LogPixels& operator=(const LogPixels&) = delete;
    void set(DWORD dpi) const {
        RegSetKeyValueW(HKEY_CURRENT_USER, m_key, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
    }

private:
    const wchar_t* m_key = L"Control Panel\\Desktop";
    DWORD m_saved = 96;
    bool m_had = false;
};

TEST(Win32Layout, KeepsTheStoredTwipsAt96And144Dpi) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    LogPixels logPixels;
    for (const DWORD dpi : {96UL, 144UL}) {
        SCOPED_TRACE(dpi);
        logPixels.set(dpi);
        SetEnvironmentVariableW(L"TARNWICK_TEST_DPI", std::to_wstring(dpi).c_str());
        std::wstring command =
            L"\"" + std::wstring(self) + L"\" --gtest_filter=Win32Layout.AtThisResolution";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process));
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 1;
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        EXPECT_EQ(status, 0u) << "the layout at " << dpi << " dpi (its output is above)";
    }
    SetEnvironmentVariableW(L"TARNWICK_TEST_DPI", nullptr);
}

// Moved to a monitor of another scale, the window lays itself out anew for it, and back.
TEST_F(Win32View, ALayoutForEachResolutionTheWindowIsMovedTo) {
    for (const Expected& e : {layouts[1], layouts[0]}) {
        RECT suggested{};
        GetWindowRect(main(), &suggested);
        SendMessageW(main(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(e.dpi, e.dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        checkLayout(window, e);
        RECT now{};
        GetWindowRect(main(), &now);
        EXPECT_EQ(now.left, suggested.left);
        EXPECT_EQ(now.top, suggested.top);
    }
}

// The scenario of the Qt view test, through the messages Windows sends: hover, press and the
// surface reset; a disabled label is still a control, so moving over it resets nothing.
TEST_F(Win32View, HoverPressAndSurfaceResetAsTheLinuxWindowDoes) {
    ASSERT_TRUE(form.Form_Load()); // Label2 and Label3 disabled, as at start-up
    EXPECT_EQ(actionColours(), "sys0 sys17 sys17 sys0 sys17") << "disabled labels are grey";
    const struct {
        int id; // 0: the bare surface
        UINT message;
        const char* what;
        const char* colours; // Label1 Label2 Label3 Label4 Label6
    } script[] = {
        {ids::Label1, WM_MOUSEMOVE, "hover Label1", "red sys17 sys17 sys0 sys17"},
        {ids::Option1_0, WM_MOUSEMOVE, "on to an option", "red sys17 sys17 sys0 sys17"},
        {ids::Label8, WM_MOUSEMOVE, "on to the banner", "red sys17 sys17 sys0 sys17"},
        {0, WM_MOUSEMOVE, "surface", "sys0 sys17 sys17 sys0 sys17"},
        {ids::Label4, WM_MOUSEMOVE, "hover Label4", "sys0 sys17 sys17 red sys17"},
        {ids::Label3, WM_MOUSEMOVE, "hover disabled Label3", "sys0 sys17 sys17 red sys17"},
        {ids::Label4, WM_RBUTTONDOWN, "right-press Label4", "sys0 sys17 sys17 sys0 sys17"},
        {ids::Label4, WM_MOUSEMOVE, "hover Label4 again", "sys0 sys17 sys17 red sys17"},
        {ids::Label4, WM_LBUTTONDOWN, "press Label4", "sys0 sys17 sys17 sys0 sys17"},
        {ids::Label4, WM_LBUTTONUP, "release outside Label4", "sys0 sys17 sys17 sys0 sys17"},
        {ids::Label6, WM_LBUTTONDOWN, "press disabled Label6", "sys0 sys17 sys17 sys0 sys17"},
        {0, WM_MOUSEMOVE, "surface", "sys0 sys17 sys17 sys0 sys17"},
    };
    for (const auto& s : script) {
        if (s.id == 0) {
            surface(s.message);
        } else {
            mouse(s.id, s.message, s.message != WM_LBUTTONUP);
        }
        EXPECT_EQ(actionColours(), s.colours) << s.what;
    }
    // Enabled again, Label6 shows its stored colours: black after the surface reset.
    window.setEnabled(Ctl::Label6, true);
    EXPECT_EQ(colour(ids::Label6), "black");
    mouse(ids::Label6, WM_MOUSEMOVE);
    EXPECT_EQ(colour(ids::Label6), "red");
    EXPECT_EQ(colour(ids::Label5), "sys17");
    EXPECT_EQ(colour(ids::Label7), "green");
}

// A click is a left press and a release over the same label: the press alone, a release
// away from it, the right button and the second press of a double click run nothing.
TEST_F(Win32View, ALabelRunsItsCommandWhenTheLeftButtonComesUpOverIt) {
    mouse(ids::Label1, WM_LBUTTONDOWN);
    EXPECT_EQ(AboutWindow::current(), nullptr) << "not on the press";
    mouse(ids::Label1, WM_LBUTTONUP, false);
    EXPECT_EQ(AboutWindow::current(), nullptr) << "released beside the label";
    mouse(ids::Label1, WM_RBUTTONDOWN);
    mouse(ids::Label1, WM_RBUTTONUP);
    EXPECT_EQ(AboutWindow::current(), nullptr) << "the right button";
    mouse(ids::Label1, WM_LBUTTONUP);
    EXPECT_EQ(AboutWindow::current(), nullptr) << "a release without its press";
    mouse(ids::Label1, WM_LBUTTONDBLCLK);
    mouse(ids::Label1, WM_LBUTTONUP);
    EXPECT_EQ(AboutWindow::current(), nullptr) << "the second press of a double click";

    mouse(ids::Label1, WM_LBUTTONDOWN);
    EXPECT_EQ(GetCapture(), child(ids::Label1)) << "the label keeps the pointer while pressed";
    mouse(ids::Label1, WM_LBUTTONUP);
    EXPECT_NE(AboutWindow::current(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
}

// The about window: its size and place from the main window, the whole contact line in the
// marquee's real font, the strip that starts it out of sight, and what closes it.
TEST_F(Win32View, TheAboutWindowShowsTheWholeContactLineAndClosesBySurfaceOrEscape) {
    SetWindowPos(main(), nullptr, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    form.about_Click();
    HWND about = AboutWindow::current();
    ASSERT_NE(about, nullptr);
    RECT client{};
    GetClientRect(about, &client);
    EXPECT_EQ(client.right, 383);
    EXPECT_EQ(client.bottom, 245);
    RECT outer{};
    RECT mainOuter{};
    GetWindowRect(about, &outer);
    GetWindowRect(main(), &mainOuter);
    EXPECT_NEAR(outer.left + 383 / 2.0, (mainOuter.left + mainOuter.right) / 2.0, 1.0);
    EXPECT_EQ(outer.top, mainOuter.top + 147); // 2200 twips, rounded

    HWND strip = GetDlgItem(about, ids::Picture1);
    HWND marquee = GetDlgItem(strip, ids::Label5);
    ASSERT_NE(marquee, nullptr);
    EXPECT_EQ(place(strip).left, 54);
    EXPECT_EQ(place(strip).right - place(strip).left, 273);
    EXPECT_EQ(place(marquee).left, 327) << "4905 twips: beyond the strip's right end";
    wchar_t text[128] = {};
    GetWindowTextW(marquee, text, 128);
    EXPECT_EQ(narrow(text), Form2::contactLine);
    HDC dc = GetDC(marquee);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(marquee, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    ReleaseDC(marquee, dc);
    EXPECT_GE(place(marquee).right - place(marquee).left, size.cx);
    EXPECT_GE(place(marquee).right - place(marquee).left, 176);
    EXPECT_EQ(fontOf(marquee).face, "楷体");
    EXPECT_EQ(fontOf(marquee).weight, FW_BOLD);

    // Presses on a label or the strip keep it; the bare surface closes it; so does Escape.
    for (HWND target : {GetDlgItem(about, ids::Label1), strip}) {
        POINT at{2, 2};
        MapWindowPoints(target, about, &at, 1);
        SendMessageW(about, WM_LBUTTONDOWN, 0, MAKELPARAM(at.x, at.y));
        SendMessageW(about, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
        EXPECT_EQ(AboutWindow::current(), about);
    }
    SendMessageW(about, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(AboutWindow::current(), about);
    SendMessageW(about, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(AboutWindow::current(), nullptr);

    form.about_Click();
    about = AboutWindow::current();
    ASSERT_NE(about, nullptr);
    SendMessageW(about, WM_LBUTTONDOWN, 0, MAKELPARAM(370, 230));
    SendMessageW(about, WM_LBUTTONUP, 0, MAKELPARAM(370, 230));
    EXPECT_EQ(AboutWindow::current(), nullptr);
}

} // namespace
} // namespace tw::win32
