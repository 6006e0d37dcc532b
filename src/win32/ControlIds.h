#pragma once

// The window IDs of the controls, one per stored control name, and the windows' class
// names: what a test program or a screen reader finds the controls by. Plain constants, so
// that the end-to-end driver shares them without the window's code.
namespace tw::win32::ids {

inline constexpr const wchar_t* form1Class = L"Tarnwick.Form1";
inline constexpr const wchar_t* form2Class = L"Tarnwick.Form2";
inline constexpr const wchar_t* picture1Class = L"Tarnwick.Picture1";
inline constexpr const wchar_t* quarantineClass = L"Tarnwick.Quarantine";

// Controls of both windows; the about window reuses the numbers of its own labels.
inline constexpr int Label1 = 1001;
inline constexpr int Label2 = 1002;
inline constexpr int Label3 = 1003;
inline constexpr int Label4 = 1004;
inline constexpr int Label5 = 1005;
inline constexpr int Label6 = 1006;
inline constexpr int Label7 = 1007;
inline constexpr int Label8 = 1008;
inline constexpr int Option1_0 = 1010; // Option1(0)
inline constexpr int Option1_1 = 1011; // Option1(1)
inline constexpr int Frame1 = 1020;
inline constexpr int Picture1 = 1021;

// Menu items.
inline constexpr int vbexit = 2001;
inline constexpr int vbhelpinfo = 2002;
inline constexpr int about = 2003;
inline constexpr int vbquarantine = 2004;
inline constexpr int vbundosystem = 2005;
inline constexpr int vbreport = 2006;

// The quarantine window: its list (a report-style list view, one row per item: time,
// original path, reason, size) and its buttons; 关闭 is IDCANCEL, so that Esc closes too.
inline constexpr int quarantineItems = 3001;
inline constexpr int quarantineRestore = 3002;
inline constexpr int quarantinePurge = 3003;
inline constexpr int quarantineUsage = 3004; // how full the store is
inline constexpr int quarantineClose = 2;    // IDCANCEL

// Timers of each window.
inline constexpr unsigned Timer1 = 1;
inline constexpr unsigned Timer2 = 2;

} // namespace tw::win32::ids
