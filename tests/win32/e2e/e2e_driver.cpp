// Drives the real tarnwick.exe the way a user and a screen reader would, from a second
// program in the same Wine prefix (or on Windows): finds the windows, reads the controls'
// text through WM_GETTEXT, clicks the action labels and answers the message boxes.
//
//   e2e_driver <tarnwick.exe> <stick drive, e.g. E:>
//
// The stick holds a folder Photos with a program Photos.exe beside it. Checks, in order:
// start-up reaches the drive monitor showing the stick connected; a second copy shows its
// box and ends; the about window opens with its marquee running and closes on a click on its
// surface; a full scan answers with its box; a quick scan removes the disguised program and
// leaves the folder; the quarantine window opens from its menu item, lists the program and
// puts it back with 恢复; deep immunization builds the protective folder and, Wine keeping no
// access rule, ends in its reinforcement-failure texts; system immunization sets the AutoRun
// values and its undo puts back what was there; closing the window ends the program. Exit
// status 0 when all hold.
//
// With TARNWICK_E2E_CHECKPOINTS set to a folder, the driver stops at "main", "box" and
// "about": it creates <name>.ready there and goes on when <name>.done appears (screenshots).
#include "win32/ControlIds.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <utility>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace ids = tw::win32::ids;

int failures = 0;

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), length, nullptr, nullptr);
    return out;
}

void say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void check(bool ok, const std::string& what) {
    say((ok ? "ok    " : "FAIL  ") + what);
    if (!ok) {
        ++failures;
    }
}

// Polls until the condition holds or the time is up: the program under test runs on its own.
bool waitFor(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(50);
    }
}

// The text of a window of another process, as a screen reader reads it.
std::wstring textOf(HWND hwnd) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (hwnd == nullptr ||
        SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                            SMTO_ABORTIFHUNG, 2000, &copied) == 0) {
        return {};
    }
    return std::wstring(buffer, copied);
}

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
};

Process start(const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info) == 0) {
        return {};
    }
    CloseHandle(info.hThread);
    return {info.hProcess, info.dwProcessId};
}

// The first visible top-level window of this class that belongs to the process.
HWND windowOf(const Process& process, const wchar_t* className) {
    struct Search {
        DWORD pid;
        const wchar_t* className;
        HWND found;
    } search{process.id, className, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (pid == s->pid && IsWindowVisible(hwnd) && lstrcmpW(name, s->className) == 0) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Box {
    std::wstring title;
    std::wstring text;
};

// Waits for a message box of the process, reads it and presses the button with this id.
bool answerBox(const Process& process, int button, Box& box) {
    HWND found = nullptr;
    if (!waitFor([&] { return (found = windowOf(process, L"#32770")) != nullptr; }, 30000)) {
        return false;
    }
    box.title = textOf(found);
    box.text = textOf(GetDlgItem(found, 65535));
    HWND control = GetDlgItem(found, button);
    if (control == nullptr) {
        return false;
    }
    PostMessageW(control, BM_CLICK, 0, 0);
    return waitFor([&] { return IsWindow(found) == 0 || IsWindowVisible(found) == 0; }, 10000);
}

void checkpoint(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TARNWICK_E2E_CHECKPOINTS", folder, MAX_PATH) == 0) {
        return;
    }
    const std::wstring base = std::wstring(folder) + L"\\" + name;
    HANDLE ready = CreateFileW((base + L".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready != INVALID_HANDLE_VALUE) {
        CloseHandle(ready);
    }
    waitFor(
        [&] { return GetFileAttributesW((base + L".done").c_str()) != INVALID_FILE_ATTRIBUTES; },
        60000);
}

bool exists(const std::wstring& path, bool folder) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

// A list view of another process: its messages carry pointers, so the structures and
// texts live in memory allocated in that process.
class Remote {
public:
    explicit Remote(const Process& process)
        : m_process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                process.id)) {
        if (m_process != nullptr) {
            m_memory = VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
        }
    }
    ~Remote() {
        if (m_memory != nullptr) {
            VirtualFreeEx(m_process, m_memory, 0, MEM_RELEASE);
        }
        if (m_process != nullptr) {
            CloseHandle(m_process);
        }
    }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;

    [[nodiscard]] int rows(HWND list) const {
        DWORD_PTR count = 0;
        SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
        return static_cast<int>(count);
    }

    [[nodiscard]] std::wstring cell(HWND list, int row, int column) const {
        if (m_memory == nullptr) {
            return {};
        }
        auto* text = static_cast<char*>(m_memory) + sizeof(LVITEMW);
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(text);
        item.cchTextMax = 512;
        WriteProcessMemory(m_process, m_memory, &item, sizeof(item), nullptr);
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                            reinterpret_cast<LPARAM>(m_memory), SMTO_ABORTIFHUNG, 2000, &length);
        std::wstring out(length, L'\0');
        ReadProcessMemory(m_process, text, out.data(), length * sizeof(wchar_t), nullptr);
        return out;
    }

    void select(HWND list, int row) const {
        if (m_memory == nullptr) {
            return;
        }
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        WriteProcessMemory(m_process, m_memory, &item, sizeof(item), nullptr);
        SendMessageTimeoutW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                            reinterpret_cast<LPARAM>(m_memory), SMTO_ABORTIFHUNG, 2000, nullptr);
    }

private:
    static constexpr SIZE_T size = sizeof(LVITEMW) + 512 * sizeof(wchar_t);
    HANDLE m_process;
    void* m_memory = nullptr;
};

// Follows the status line while the program works, answering each box it shows (Yes where
// there is one, else OK), until a box with this title and text appears; that one is answered
// with OK too. The texts seen on the way are printed.
bool runUntilBox(const Process& process, HWND label7, const std::wstring& title,
                 const std::wstring& text, DWORD milliseconds, std::vector<std::wstring>& seen) {
    bool found = false;
    waitFor(
        [&] {
            const std::wstring now = textOf(label7);
            if (seen.empty() || seen.back() != now) {
                seen.push_back(now);
                say("      status: " + utf8(now));
            }
            HWND box = windowOf(process, L"#32770");
            if (box == nullptr) {
                return false;
            }
            const std::wstring boxTitle = textOf(box);
            const std::wstring boxText = textOf(GetDlgItem(box, 65535));
            if (boxText.empty()) {
                return false; // not drawn yet
            }
            say("      box: " + utf8(boxTitle) + ": " + utf8(boxText));
            found = boxTitle == title && boxText == text;
            HWND yes = GetDlgItem(box, IDYES);
            PostMessageW(!found && yes != nullptr ? yes : GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            waitFor([&] { return IsWindow(box) == 0 || IsWindowVisible(box) == 0; }, 10000);
            return found;
        },
        milliseconds);
    return found;
}

bool contains(const std::vector<std::wstring>& texts, const std::wstring& text) {
    for (const std::wstring& t : texts) {
        if (t == text) {
            return true;
        }
    }
    return false;
}

const wchar_t* const policyKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const wchar_t* const handlersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";

// The user's AutoRun and AutoPlay values as reg.exe shows them ("-": not there), HKCU's two
// policies and the AutoPlay switch.
std::wstring userAutoplayValues() {
    std::wstring all;
    for (const auto& [key, name] :
         {std::pair{policyKey, L"NoDriveTypeAutoRun"}, std::pair{policyKey, L"NoAutorun"},
          std::pair{handlersKey, L"DisableAutoplay"}}) {
        DWORD data = 0;
        DWORD size = sizeof data;
        wchar_t text[16] = L"-";
        if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &data, &size) ==
            ERROR_SUCCESS) {
            swprintf(text, 16, L"0x%lx", static_cast<unsigned long>(data));
        }
        all += (all.empty() ? L"" : L" ") + std::wstring(text);
    }
    return all;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: e2e_driver <tarnwick.exe> <stick drive>\n", stderr);
        return 2;
    }
    const std::wstring program = argv[1];
    const std::wstring stick = argv[2];
    const std::wstring connected = L"检测到 " + stick + L"盘已连接！";
    const std::wstring disguised = stick + L"\\Photos.exe";
    check(exists(disguised, false) && exists(stick + L"\\Photos", true),
          "the stick holds Photos and Photos.exe");

    const Process first = start(program);
    check(first.handle != nullptr, "tarnwick.exe starts");
    if (first.handle == nullptr) {
        return 1;
    }
    HWND main = nullptr;
    check(waitFor([&] { return (main = windowOf(first, ids::form1Class)) != nullptr; }, 30000),
          "the main window opens");
    if (main == nullptr) {
        TerminateProcess(first.handle, 1);
        return 1;
    }
    check(textOf(main) == L"Tarnwick Ver 9.9.0.8 BETA", "the caption");
    HWND label5 = GetDlgItem(main, ids::Label5);
    HWND label6 = GetDlgItem(main, ids::Label6);
    HWND label7 = GetDlgItem(main, ids::Label7);
    check(textOf(GetDlgItem(main, ids::Label1)) == L"关于我们" &&
              textOf(GetDlgItem(main, ids::Label8)) == L"Tarnwick将帮助您清除U盘中的病毒。" &&
              textOf(GetDlgItem(main, ids::Option1_0)) == L"快速扫描",
          "the controls carry their stored names and captions");
    RECT client{};
    GetClientRect(main, &client);
    check(client.right == 597 && client.bottom == 397, "the client area is 597 x 397");

    // Start-up: the integrity check, the disk scan, then the drive monitor.
    check(waitFor([&] { return textOf(label5) == L"√Tarnwick完整性良好"; }, 20000),
          "Label5 reads √Tarnwick完整性良好");
    check(
        waitFor([&] { return IsWindowVisible(label7) != 0 && textOf(label7) == connected; }, 40000),
        "the drive monitor shows " + utf8(connected));
    check(IsWindowEnabled(label6) != 0, "立即扫描 is enabled after the start-up scan");
    checkpoint(L"main");

    // A second copy says so and ends without a window of its own.
    const Process second = start(program);
    Box box;
    check(answerBox(second, IDOK, box) && box.title == L"系统提示" &&
              box.text == L"Tarnwick进程已经运行！",
          "a second copy shows Tarnwick进程已经运行！ (系统提示)");
    check(WaitForSingleObject(second.handle, 20000) == WAIT_OBJECT_0,
          "the second copy ends after its box");
    CloseHandle(second.handle);

    // The about window, from its menu item: the marquee runs; a click on its surface closes it.
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(ids::about, 0), 0);
    HWND about = nullptr;
    check(waitFor([&] { return (about = windowOf(first, ids::form2Class)) != nullptr; }, 10000),
          "关于我们(&A) opens the about window");
    if (about != nullptr) {
        check(textOf(GetDlgItem(about, ids::Label1)) == L"Tarnwick Ver 9.9.0.8 BETA",
              "the about window's title line");
        HWND marquee = GetDlgItem(GetDlgItem(about, ids::Picture1), ids::Label5);
        RECT before{};
        GetWindowRect(marquee, &before);
        RECT after = before;
        check(waitFor(
                  [&] {
                      GetWindowRect(marquee, &after);
                      return after.left < before.left;
                  },
                  5000),
              "the marquee moves to the left");
        checkpoint(L"about");
        PostMessageW(about, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        PostMessageW(about, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
        check(waitFor([&] { return IsWindow(about) == 0; }, 10000),
              "a click on its bare surface closes the about window");
    }

    // The full scan only answers with its box.
    SendMessageTimeoutW(GetDlgItem(main, ids::Option1_1), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(ids::Label6, STN_CLICKED),
                 reinterpret_cast<LPARAM>(label6));
    if (std::getenv("TARNWICK_E2E_CHECKPOINTS") != nullptr) {
        waitFor([&] { return windowOf(first, L"#32770") != nullptr; }, 30000);
        checkpoint(L"box");
    }
    check(answerBox(first, IDOK, box) && box.title == L"提示" &&
              box.text == L"本模块正在开发，敬请期待！",
          "完全扫描 answers 本模块正在开发，敬请期待！ (提示)");

    // The quick scan removes the program posing as the folder Photos.
    SendMessageTimeoutW(GetDlgItem(main, ids::Option1_0), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(ids::Label6, STN_CLICKED),
                 reinterpret_cast<LPARAM>(label6));
    const std::wstring removed = L"伪装文件夹病毒" + disguised + L"处理成功！";
    std::vector<std::wstring> seen;
    const bool done = waitFor(
        [&] {
            const std::wstring now = textOf(label7);
            if (seen.empty() || seen.back() != now) {
                seen.push_back(now);
                say("      status: " + utf8(now));
            }
            // Any question on the way is declined: nothing else on the stick is the test's.
            if (HWND question = windowOf(first, L"#32770"); question != nullptr) {
                say("      box: " + utf8(textOf(GetDlgItem(question, 65535))));
                PostMessageW(GetDlgItem(question, IDNO) != nullptr ? GetDlgItem(question, IDNO)
                                                                   : GetDlgItem(question, IDOK),
                             BM_CLICK, 0, 0);
            }
            return now == L"快速扫描已完成！";
        },
        90000);
    check(done, "the quick scan ends with 快速扫描已完成！");
    bool reported = false;
    for (const std::wstring& text : seen) {
        reported = reported || text == removed;
    }
    check(reported, "the status line said " + utf8(removed));
    check(!exists(disguised, false), "Photos.exe is gone from the stick");
    check(exists(stick + L"\\Photos", true), "the folder Photos is still there");
    check(waitFor([&] { return textOf(label7) == connected; }, 20000),
          "the drive monitor takes the status line back");

    // The quarantine window, from its menu item under 操作(F): it lists Photos.exe, and 恢复
    // puts it back.
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(ids::vbquarantine, 0), 0);
    HWND quarantine = nullptr;
    check(waitFor([&] { return (quarantine = windowOf(first, ids::quarantineClass)) != nullptr; },
                  10000),
          "隔离区(&Q)... opens the quarantine window");
    if (quarantine != nullptr) {
        HWND items = GetDlgItem(quarantine, ids::quarantineItems);
        HWND restore = GetDlgItem(quarantine, ids::quarantineRestore);
        check(textOf(quarantine) == L"隔离区" && textOf(restore) == L"恢复(&R)" &&
                  textOf(GetDlgItem(quarantine, ids::quarantinePurge)) == L"删除(&D)" &&
                  textOf(GetDlgItem(quarantine, ids::quarantineClose)) == L"关闭",
              "its caption and buttons read 隔离区, 恢复, 删除, 关闭");
        const Remote remote(first);
        check(remote.rows(items) == 1 && remote.cell(items, 0, 1) == disguised,
              "it lists " + utf8(disguised));
        remote.select(items, 0);
        check(waitFor([&] { return IsWindowEnabled(restore) != 0; }, 5000),
              "selecting it enables 恢复");
        PostMessageW(quarantine, WM_COMMAND, MAKEWPARAM(ids::quarantineRestore, BN_CLICKED),
                     reinterpret_cast<LPARAM>(restore));
        check(answerBox(first, IDOK, box) && box.text == L"已恢复：" + disguised,
              "恢复 answers 已恢复：" + utf8(disguised));
        check(exists(disguised, false), "Photos.exe is back on the stick");
        check(remote.rows(items) == 0, "the list is empty again");
        PostMessageW(quarantine, WM_COMMAND, MAKEWPARAM(ids::quarantineClose, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(quarantine, ids::quarantineClose)));
        check(waitFor([&] { return IsWindow(quarantine) == 0; }, 10000),
              "关闭 closes the quarantine window");
    }

    // Deep immunization: the stick reports NTFS under Wine, so the protective folder is built
    // and locked; Wine's cacls is a stub and keeps no access rule, so the lock cannot be read
    // back and the run ends in the reinforcement-failure texts, never in a success.
    {
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(ids::Label3, STN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(main, ids::Label3)));
        std::vector<std::wstring> statuses;
        check(runUntilBox(first, label7, L"警告", L"免疫加强操作失败！", 120000, statuses),
              "深度免疫 ends with the box 免疫加强操作失败！ (警告)");
        check(contains(statuses, L"正在准备为" + stick + L"盘免疫，请稍等......"),
              "the status line said 正在准备为" + utf8(stick) + "盘免疫，请稍等......");
        check(waitFor([&] { return textOf(label7) == L"操作结束！但免疫加强操作失败！"; }, 10000) ||
                  contains(statuses, L"操作结束！但免疫加强操作失败！"),
              "the status line said 操作结束！但免疫加强操作失败！");
        check(exists(stick + L"\\autorun.inf", true), "the protective folder autorun.inf is built");
        check(waitFor([&] { return textOf(label7) == connected; }, 20000),
              "the drive monitor takes the status line back");
    }

    // System immunization and its undo, confirmed in the registry of this prefix: the user's
    // own NoAutorun comes back, the values that were not there are gone again.
    {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, policyKey, L"NoDriveTypeAutoRun");
        const DWORD own = 0x91;
        RegSetKeyValueW(HKEY_CURRENT_USER, policyKey, L"NoAutorun", REG_DWORD, &own, sizeof own);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, handlersKey, L"DisableAutoplay");
        const std::wstring before = userAutoplayValues();
        check(before == L"- 0x91 -",
              "before: NoDriveTypeAutoRun -, NoAutorun 0x91, DisableAutoplay -");

        PostMessageW(main, WM_COMMAND, MAKEWPARAM(ids::Label4, STN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(main, ids::Label4)));
        std::vector<std::wstring> statuses;
        check(runUntilBox(first, label7, L"提示", L"免疫操作结束！", 90000, statuses),
              "免疫系统 ends with the box 免疫操作结束！ (提示)");
        check(contains(statuses, L"系统免疫操作结束！") || textOf(label7) == L"系统免疫操作结束！",
              "the status line said 系统免疫操作结束！");
        check(userAutoplayValues() == L"0xff 0x1 0x1",
              "the registry holds NoDriveTypeAutoRun 0xff, NoAutorun 0x1, DisableAutoplay 0x1");

        PostMessageW(main, WM_COMMAND, MAKEWPARAM(ids::vbundosystem, 0), 0);
        statuses.clear();
        check(runUntilBox(first, label7, L"提示", L"已恢复系统免疫前的自动播放设置！", 90000,
                          statuses),
              "撤销系统免疫 ends with the box 已恢复系统免疫前的自动播放设置！ (提示)");
        check(userAutoplayValues() == before, "the registry holds what was there before");
    }

    // Closing the window ends the program.
    PostMessageW(main, WM_CLOSE, 0, 0);
    const bool ended = WaitForSingleObject(first.handle, 20000) == WAIT_OBJECT_0;
    check(ended, "closing the main window ends the program");
    if (!ended) {
        TerminateProcess(first.handle, 1);
    }
    CloseHandle(first.handle);
    say(failures == 0 ? "end-to-end run passed" : "end-to-end run FAILED");
    return failures == 0 ? 0 : 1;
}
