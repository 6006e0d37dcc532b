#include "win32/Win32Host.h"

#include "win32/ControlIds.h"
#include "win32/Win32Handle.h"
#include "win32/Win32Text.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace tw {

namespace {

std::wstring modulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return L"tarnwick.exe";
        }
        if (n < buffer.size()) {
            return std::wstring(buffer.data(), n);
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The command interpreter by its full path, not whatever cmd.exe the search path finds first.
std::wstring commandInterpreter() {
    wchar_t system[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return L"cmd.exe";
    }
    return std::wstring(system, n) + L"\\cmd.exe";
}

} // namespace

Win32Host::Win32Host() {
    const std::string exe = win32::narrow(modulePath());
    const auto slash = exe.find_last_of("\\/");
    m_folder = slash == std::string::npos ? "." : exe.substr(0, slash);
    m_name = slash == std::string::npos ? exe : exe.substr(slash + 1);
    const auto dot = m_name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) {
        m_name.resize(dot);
    }
}

Win32Host::~Win32Host() {
    if (m_mutex != nullptr) {
        ::CloseHandle(m_mutex);
    }
}

std::string Win32Host::tempFolder() const {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring folder = (n > 0 && n <= MAX_PATH) ? std::wstring(buffer, n) : L"C:\\Windows\\Temp";
    // "C:\" keeps its backslash only as "C:"; every other folder loses it.
    while (folder.size() > 2 && (folder.back() == L'\\' || folder.back() == L'/')) {
        folder.pop_back();
    }
    return win32::narrow(folder);
}

std::optional<std::vector<SystemSetting>> Win32Host::systemSettings() {
    constexpr const wchar_t* policy =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
    constexpr const wchar_t* handlers =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
    // Named and shown as the script's record names and shows them (reg.exe's "0x..."); the
    // machine's own values need administrator rights and may stay as they were.
    const struct {
        HKEY root;
        const wchar_t* rootName;
        const wchar_t* key;
        const wchar_t* value;
        const char* off;
        bool required;
    } values[] = {
        {HKEY_CURRENT_USER, L"HKCU", policy, L"NoDriveTypeAutoRun", "0xff", true},
        {HKEY_CURRENT_USER, L"HKCU", policy, L"NoAutorun", "0x1", true},
        {HKEY_LOCAL_MACHINE, L"HKLM", policy, L"NoDriveTypeAutoRun", "0xff", false},
        {HKEY_LOCAL_MACHINE, L"HKLM", policy, L"NoAutorun", "0x1", false},
        {HKEY_CURRENT_USER, L"HKCU", handlers, L"DisableAutoplay", "0x1", true},
    };
    std::vector<SystemSetting> settings;
    for (const auto& v : values) {
        DWORD data = 0;
        DWORD size = sizeof data;
        const LSTATUS status =
            ::RegGetValueW(v.root, v.key, v.value, RRF_RT_REG_DWORD, nullptr, &data, &size);
        std::string shown = "-";
        if (status == ERROR_SUCCESS) {
            char text[16];
            std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(data));
            shown = text;
        } else if (status != ERROR_FILE_NOT_FOUND && status != ERROR_PATH_NOT_FOUND &&
                   status != ERROR_UNSUPPORTED_TYPE) {
            return std::nullopt; // cannot tell
        }
        settings.push_back(
            {win32::narrow(std::wstring(v.rootName) + L"\\" + v.key + L" " + v.value), shown, v.off,
             v.required});
    }
    return settings;
}

UndoRecordFile Win32Host::readUndoRecord() {
    using State = UndoRecordFile::State;
    wchar_t local[MAX_PATH + 1];
    const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) {
        return {};
    }
    const std::wstring path = std::wstring(local, n) + L"\\Tarnwick\\systemset.undo";
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return {error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? State::absent
                                                                               : State::unreadable,
                {}};
    }
    // A folder or a link is not a record; one too large is refused by its size, unread.
    const DWORD notAFile =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if ((attributes & notAFile) != 0) {
        return {State::refused, {}};
    }
    const win32::Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || ::GetFileInformationByHandle(file.get(), &info) == 0) {
        return {};
    }
    const unsigned long long size =
        (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if ((info.dwFileAttributes & notAFile) != 0 || ::GetFileType(file.get()) != FILE_TYPE_DISK ||
        size > maxUndoRecordSize) {
        return {State::refused, {}};
    }
    std::string text(maxUndoRecordSize + 1, '\0');
    DWORD got = 0;
    if (::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr) == 0) {
        return {};
    }
    if (got > maxUndoRecordSize) {
        return {State::refused, {}};
    }
    text.resize(got);
    return {State::text, std::move(text)};
}

bool startHidden(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

bool Win32Host::startScript(const std::string& path, const std::vector<std::string>& arguments) {
    return startBatch(path, arguments);
}

bool Win32Host::startBatchFile(const std::string& path) {
    return startBatch(path, {});
}

bool Win32Host::startBatch(const std::string& path, const std::vector<std::string>& arguments) {
    // A path or argument holding a quote cannot be quoted for cmd.exe; Windows forbids them
    // in names.
    if (path.empty() || path.find('"') != std::string::npos ||
        ::GetFileAttributesW(win32::apiPath(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    std::wstring line = L"\"" + win32::widen(path) + L"\"";
    for (const std::string& argument : arguments) {
        if (argument.find('"') != std::string::npos) {
            return false;
        }
        line += L" \"" + win32::widen(argument) + L"\"";
    }
    // cmd /c strips the outer pair of quotes when the line starts with one: the pair around
    // the whole keeps the path's own quotes.
    return startHidden(L"\"" + commandInterpreter() + L"\" /c \"" + line + L"\"");
}

void Win32Host::activatePreviousInstance() {
    HWND window = ::FindWindowW(win32::ids::form1Class, nullptr);
    if (window == nullptr) {
        return;
    }
    if (::IsIconic(window) != FALSE) {
        ::ShowWindow(window, SW_RESTORE);
    }
    ::SetForegroundWindow(window);
}

std::string Win32Host::reportFolder() const {
    wchar_t buffer[32768];
    const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, 32768);
    if (n == 0 || n >= 32768) {
        return {};
    }
    std::string folder = win32::narrow(std::wstring(buffer, n));
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    return folder.empty() ? std::string() : folder + "\\Tarnwick\\Reports";
}

void Win32Host::openUrl(const std::string& url) {
    (void)::ShellExecuteW(nullptr, L"open", win32::widen(url).c_str(), nullptr, nullptr,
                          SW_SHOWNORMAL);
}

bool Win32Host::previousInstance() {
    if (m_mutex == nullptr) {
        m_mutex = ::CreateMutexW(nullptr, FALSE, L"Local\\Tarnwick.SingleInstance");
        if (m_mutex == nullptr) {
            return false; // cannot tell; let this copy run
        }
        if (::GetLastError() == ERROR_ALREADY_EXISTS) {
            ::CloseHandle(m_mutex);
            m_mutex = nullptr;
            return true;
        }
        return false;
    }
    return false; // this copy holds the mutex
}

void Win32Host::endProgram() {
    std::fflush(nullptr);
    ::ExitProcess(0);
}

} // namespace tw
