#include "win32/QuarantineWindow.h"

#include "support/TempDir.h"
#include "win32/ControlIds.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32Quarantine.h"
#include "win32/Win32Text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <tuple>
#include <vector>

namespace tw::win32 {
namespace {

// The boxes the window opens on this thread: each one's text is recorded and it is answered
// at once (a CBT hook sees it activate; the answer is queued before its loop runs).
struct BoxAnswers {
    static inline std::vector<std::string> seen;
    static inline int answer = IDOK;

    static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE) {
            const auto box = reinterpret_cast<HWND>(wParam);
            wchar_t name[16] = {};
            GetClassNameW(box, name, 16);
            if (lstrcmpW(name, L"#32770") == 0) {
                wchar_t text[512] = {};
                GetWindowTextW(GetDlgItem(box, 65535), text, 512);
                seen.push_back(narrow(text));
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

std::string cell(HWND list, int row, int column) {
    wchar_t text[512] = {};
    ListView_GetItemText(list, row, column, text, 512);
    return narrow(text);
}

void press(HWND window, int id) {
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

// The window lists what the store holds; 恢复 puts the selected file back byte for byte
// with its attribute word, 删除 asks first and then deletes for good.
TEST(QuarantineWindow, ListsRestoresAndPurgesThroughTheStore) {
    test::TempDir stick("stick");
    test::TempDir store("quarantine");
    Win32FileSystem fs;
    Win32Quarantine quarantine(store.path(), fs);
    const std::string photos = stick / "Photos.exe";
    const std::string notes = stick / "笔记.txt";
    for (const auto& [path, content, reason] :
         {std::tuple{photos, std::string("MZ\x90", 3), condemned::disguisedFolder},
          std::tuple{notes, std::string("abc"), condemned::markedFile}}) {
        test::writeFile(path, content);
        test::setAttr(path, 33);
        auto reader = fs.openRead(path);
        ASSERT_TRUE(quarantine.add({path, stick.path(), "", content.size(), 33, reason}, *reader));
        reader.reset(); // as the program does: a file held open is not deleted
        ASSERT_TRUE(fs.deleteFile(path, true));
    }
    const HHOOK hook = SetWindowsHookExW(WH_CBT, &BoxAnswers::hook, nullptr, GetCurrentThreadId());

    // It opens centred on the main window, not at the screen's corner.
    const HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                       200, 150, 640, 480, nullptr, nullptr, nullptr, nullptr);
    showQuarantineWindow(GetModuleHandleW(nullptr), owner, quarantine);
    const HWND window = FindWindowW(ids::quarantineClass, nullptr);
    ASSERT_NE(window, nullptr);
    RECT outer{};
    RECT inner{};
    GetWindowRect(owner, &outer);
    GetWindowRect(window, &inner);
    EXPECT_NEAR((inner.left + inner.right) / 2, (outer.left + outer.right) / 2, 1);
    EXPECT_NEAR((inner.top + inner.bottom) / 2, (outer.top + outer.bottom) / 2, 1);
    const auto usage = [&] {
        wchar_t text[128] = {};
        GetWindowTextW(GetDlgItem(window, ids::quarantineUsage), text, 128);
        return narrow(text);
    };
    EXPECT_EQ(usage(), "已用 6 字节 / 1.0 GB");
    const HWND list = GetDlgItem(window, ids::quarantineItems);
    const HWND restore = GetDlgItem(window, ids::quarantineRestore);
    ASSERT_EQ(ListView_GetItemCount(list), 2);
    EXPECT_EQ(cell(list, 0, 1), photos);
    EXPECT_EQ(cell(list, 0, 2), "快速扫描：伪装文件夹病毒");
    EXPECT_EQ(cell(list, 0, 3), "3 字节");
    EXPECT_EQ(cell(list, 1, 1), notes);
    EXPECT_FALSE(IsWindowEnabled(restore));

    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_TRUE(IsWindowEnabled(restore));
    press(window, ids::quarantineRestore);
    EXPECT_EQ(test::readFile(photos), std::string("MZ\x90", 3));
    EXPECT_EQ(test::getAttr(photos), test::keptOnFile(33));
    ASSERT_EQ(ListView_GetItemCount(list), 1);
    EXPECT_EQ(cell(list, 0, 1), notes);

    // Declining the question keeps the item; 是 deletes it for good.
    ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
    BoxAnswers::answer = IDNO;
    press(window, ids::quarantinePurge);
    EXPECT_EQ(ListView_GetItemCount(list), 1);
    BoxAnswers::answer = IDYES;
    press(window, ids::quarantinePurge);
    EXPECT_EQ(ListView_GetItemCount(list), 0);
    EXPECT_EQ(quarantine.list()->size(), 0u);
    EXPECT_FALSE(test::exists(notes));
    EXPECT_EQ(usage(), "已用 0 字节 / 1.0 GB");

    const std::string question = "确定要从隔离区永久删除所选文件吗？删除后将无法恢复。";
    EXPECT_EQ(BoxAnswers::seen,
              (std::vector<std::string>{"已恢复：" + photos, question, question}));
    UnhookWindowsHookEx(hook);
    press(window, ids::quarantineClose);
    EXPECT_EQ(FindWindowW(ids::quarantineClass, nullptr), nullptr);
    DestroyWindow(owner);
}

} // namespace
} // namespace tw::win32
