#pragma once

#include "ports/Host.h"

#include <optional>
#include <string>
#include <vector>

namespace tw {

// The Windows process and environment.
class Win32Host final : public Host {
public:
    Win32Host();
    ~Win32Host() override;
    Win32Host(const Win32Host&) = delete;
    Win32Host& operator=(const Win32Host&) = delete;

    // GetTempPathW, without its trailing backslash.
    [[nodiscard]] std::string tempFolder() const override;
    [[nodiscard]] std::string programFolder() const override { return m_folder; }
    [[nodiscard]] std::string programName() const override { return m_name; }
    // The companion file is a batch file on Windows: started like one, its arguments after it.
    bool startScript(const std::string& path, const std::vector<std::string>& arguments) override;
    bool startBatchFile(const std::string& path) override;
    [[nodiscard]] bool canStartBatchFiles() const override { return true; }
    // The AutoRun and AutoPlay values the companion script sets, read from the registry.
    [[nodiscard]] std::optional<std::vector<SystemSetting>> systemSettings() override;
    // %LOCALAPPDATA%\Tarnwick\systemset.undo, where the companion script keeps it.
    [[nodiscard]] UndoRecordFile readUndoRecord() override;
    // %LOCALAPPDATA%\Tarnwick\Reports.
    [[nodiscard]] std::string reportFolder() const override;
    void openUrl(const std::string& url) override;
    // A named mutex in this session, held until the process ends.
    [[nodiscard]] bool previousInstance() override;
    // Brings the running copy's main window to the front.
    void activatePreviousInstance() override;
    void endProgram() override;

private:
    bool startBatch(const std::string& path, const std::vector<std::string>& arguments);
    std::string m_folder;
    std::string m_name;
    void* m_mutex = nullptr; // HANDLE, kept out of this header
};

// Starts a command line hidden, with no console window, without waiting; both handles are
// closed at once. False when the process could not be created.
bool startHidden(const std::wstring& commandLine);

} // namespace tw
