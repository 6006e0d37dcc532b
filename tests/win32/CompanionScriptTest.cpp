// The Windows companion script run for real by cmd.exe and reg.exe, through the program's
// own system immunization and undo, against the registry of the test's Wine prefix. Only
// under Wine: on a real Windows machine it would change the user's own settings.
#include "support/FakeView.h"
#include "support/NullPorts.h"
#include "support/TempDir.h"
#include "support/VirtualClock.h"
#include "system/ModSystemSet.h"
#include "system/SystemUndo.h"
#include "win32/Win32FileSystem.h"
#include "win32/Win32Host.h"
#include "win32/Win32Text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tw::test {
namespace {

const wchar_t* const policy = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const wchar_t* const handlers =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";

// The script is a real process: the program's polls take their real time (so that its
// bound stays a minute), and its two-second pause before them is cut short.
class ShortClock final : public Clock {
public:
    void wait(std::chrono::milliseconds duration) override {
        ::Sleep(static_cast<DWORD>(std::clamp<long long>(duration.count(), 0, 100)));
    }
};

// The real Windows host, with the program's folder where the test put the companion.
class HostWithProgramFolder final : public Host {
public:
    explicit HostWithProgramFolder(std::string folder) : m_folder(std::move(folder)) {}
    [[nodiscard]] std::string tempFolder() const override { return m_real.tempFolder(); }
    [[nodiscard]] std::string programFolder() const override { return m_folder; }
    [[nodiscard]] std::string programName() const override { return "tarnwick"; }
    bool startScript(const std::string& path, const std::vector<std::string>& arguments) override {
        return m_real.startScript(path, arguments);
    }
    bool startBatchFile(const std::string& path) override { return m_real.startBatchFile(path); }
    [[nodiscard]] bool canStartBatchFiles() const override { return true; }
    [[nodiscard]] std::optional<std::vector<SystemSetting>> systemSettings() override {
        return m_real.systemSettings();
    }
    [[nodiscard]] UndoRecordFile readUndoRecord() override { return m_real.readUndoRecord(); }
    void openUrl(const std::string&) override {}
    [[nodiscard]] bool previousInstance() override { return false; }
    void activatePreviousInstance() override {}
    void endProgram() override {}

private:
    Win32Host m_real;
    std::string m_folder;
};

// A DWORD as reg.exe shows it, or "-" when the value is not there.
std::string valueOf(HKEY root, const wchar_t* key, const wchar_t* name) {
    DWORD data = 0;
    DWORD size = sizeof data;
    if (::RegGetValueW(root, key, name, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS) {
        return "-";
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(data));
    return text;
}

// All five, in the order the script records them.
std::vector<std::string> registryNow() {
    return {valueOf(HKEY_CURRENT_USER, policy, L"NoDriveTypeAutoRun"),
            valueOf(HKEY_CURRENT_USER, policy, L"NoAutorun"),
            valueOf(HKEY_LOCAL_MACHINE, policy, L"NoDriveTypeAutoRun"),
            valueOf(HKEY_LOCAL_MACHINE, policy, L"NoAutorun"),
            valueOf(HKEY_CURRENT_USER, handlers, L"DisableAutoplay")};
}

void setValue(HKEY root, const wchar_t* key, const wchar_t* name, std::optional<DWORD> value) {
    if (value) {
        ASSERT_EQ(::RegSetKeyValueW(root, key, name, REG_DWORD, &*value, sizeof *value),
                  ERROR_SUCCESS);
    } else {
        const LSTATUS status = ::RegDeleteKeyValueW(root, key, name);
        ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND);
    }
}

std::string localAppData() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH + 1);
    return win32::narrow(std::wstring(buffer, n));
}

std::string recordPath() {
    return localAppData() + "\\Tarnwick\\systemset.undo";
}

// The build folder as Windows sees it under Wine (drive Z: is the root).
std::optional<std::string> companionSource() {
    const char* build = std::getenv("TARNWICK_BUILD_DIR");
    if (build == nullptr) {
        return std::nullopt;
    }
    std::string path = std::string(build) + "/systemset.dll";
    if (!path.empty() && path.front() == '/') {
        path = "Z:" + path;
    }
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Runs the working copy with these arguments as cmd.exe does for the program, waits for it,
// and returns the outcome it left.
std::string runScriptDirectly(const std::string& temp, const std::string& source,
                              const std::string& argument) {
    const std::string copy = temp + "\\systemset.bat";
    ::CopyFileW(win32::widen(source).c_str(), win32::widen(copy).c_str(), FALSE);
    std::wstring line =
        L"cmd.exe /c \"\"" + win32::widen(copy) + L"\" " + win32::widen(argument) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &process)) {
        return "(not started)";
    }
    ::WaitForSingleObject(process.hProcess, 60000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    const std::string out = temp + "\\systemset.out";
    const std::string word = exists(out) ? readFile(out) : "(none)";
    ::DeleteFileW(win32::widen(out).c_str());
    return word;
}

TEST(CompanionScript, SwitchesOffRecordsAndUndoPutsBackWhatWasThereUnderWine) {
    if (!underWine()) {
        GTEST_SKIP() << "changes the registry: only in a Wine prefix of the test's own";
    }
    const auto source = companionSource();
    ASSERT_TRUE(source) << "TARNWICK_BUILD_DIR is not set";
    // The user chose NoAutorun 0x91 themselves; nothing else is set.
    setValue(HKEY_CURRENT_USER, policy, L"NoDriveTypeAutoRun", std::nullopt);
    setValue(HKEY_CURRENT_USER, policy, L"NoAutorun", 0x91);
    setValue(HKEY_LOCAL_MACHINE, policy, L"NoDriveTypeAutoRun", std::nullopt);
    setValue(HKEY_LOCAL_MACHINE, policy, L"NoAutorun", std::nullopt);
    setValue(HKEY_CURRENT_USER, handlers, L"DisableAutoplay", std::nullopt);
    ::DeleteFileW(win32::widen(recordPath()).c_str());
    const std::vector<std::string> before = {"-", "0x91", "-", "-", "-"};
    ASSERT_EQ(registryNow(), before);

    TempDir program("program");
    ASSERT_TRUE(::CopyFileW(win32::widen(*source).c_str(),
                            win32::widen(program / "systemset.dll").c_str(), FALSE));
    HostWithProgramFolder host(program.path());
    Win32FileSystem fs;
    ShortClock clock;
    Transcript transcript;
    VirtualClock viewClock(transcript);
    FakeView view(transcript, viewClock);
    NullQuarantine quarantine;
    Ports ports{fs, host, view, clock, quarantine};

    // Switched off, confirmed by the program reading the values back.
    view.answer({mb::yes});
    ModSystemSet(ports);
    ASSERT_FALSE(transcript.lines().empty());
    EXPECT_EQ(transcript.lines().back(), "box[64] 提示: 免疫操作结束！ -> OK");
    EXPECT_EQ(registryNow(), (std::vector<std::string>{"0xff", "0x1", "0xff", "0x1", "0x1"}));
    const std::string found =
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer "
        "NoDriveTypeAutoRun -\r\n"
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer NoAutorun 0x91\r\n"
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer "
        "NoDriveTypeAutoRun -\r\n"
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer NoAutorun -\r\n"
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers "
        "DisableAutoplay -\r\n";
    EXPECT_EQ(readFile(recordPath()), found);
    EXPECT_FALSE(exists(host.tempFolder() + "\\systemset.bat"));

    // A second run keeps the first record: it would find the program's own values.
    transcript.clear();
    view.answer({mb::yes});
    ModSystemSet(ports);
    EXPECT_EQ(transcript.lines().back(), "box[64] 提示: 免疫操作结束！ -> OK");
    EXPECT_EQ(readFile(recordPath()), found);

    // Undo: the user's own value back, the others absent again, the record gone.
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(SystemUndoCommand(fs, host, clock, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "已恢复系统免疫前的自动播放设置！ (The AutoPlay settings are back as they "
                         "were before system immunization.)\n");
    EXPECT_EQ(registryNow(), before);
    EXPECT_FALSE(exists(recordPath()));
    out.str("");
    EXPECT_EQ(SystemUndoCommand(fs, host, clock, out, err), 0);
    EXPECT_EQ(out.str(), "没有找到系统免疫的记录，无需撤销！ (Nothing to undo: no system "
                         "immunization was recorded.)\n");

    // A record the script did not write: refused by the program before anything runs, and by
    // the script itself; kept, and nothing changed.
    // (The script compares names and counts words; a value of its own reg.exe rejects, so
    // there it fails rather than naming the record bad.)
    const struct {
        std::string record;
        const char* scriptUndo;
    } junk[] = {
        {"rm -rf C:\\ & echo done\r\n", "badrecord\r\n"},
        {std::string("\x7f"
                     "ELF\x02\x01\0\0",
                     8),
         "badrecord\r\n"},
        {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer NoAutorun "
         "0x1&echo\r\n",
         "failed\r\n"},
    };
    for (const auto& c : junk) {
        SCOPED_TRACE(c.record);
        writeFile(recordPath(), c.record);
        std::ostringstream refusedOut;
        std::ostringstream refusedErr;
        EXPECT_EQ(SystemUndoCommand(fs, host, clock, refusedOut, refusedErr), 1);
        EXPECT_EQ(refusedErr.str(), "系统免疫的记录已损坏，无法撤销！ (The undo record is not one "
                                    "Tarnwick wrote; it was left as it is.)\n");
        EXPECT_EQ(runScriptDirectly(host.tempFolder(), *source, "undo"), c.scriptUndo);
        EXPECT_EQ(runScriptDirectly(host.tempFolder(), *source, ""), "failed\r\n");
        EXPECT_EQ(readFile(recordPath()), c.record);
        EXPECT_EQ(registryNow(), before);
    }
    ::DeleteFileW(win32::widen(recordPath()).c_str());
}

} // namespace
} // namespace tw::test
