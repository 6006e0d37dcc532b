#pragma once

#include "ports/Host.h"

#include <optional>
#include <string>
#include <vector>

namespace tw {

// The Linux process and environment.
class PosixHost final : public Host {
public:
    PosixHost();
    ~PosixHost() override;
    PosixHost(const PosixHost&) = delete;
    PosixHost& operator=(const PosixHost&) = delete;

    [[nodiscard]] std::string tempFolder() const override;
    [[nodiscard]] std::string programFolder() const override { return m_folder; }
    [[nodiscard]] std::string programName() const override { return m_name; }
    bool startScript(const std::string& path, const std::vector<std::string>& arguments) override;
    bool startBatchFile(const std::string& path) override;
    [[nodiscard]] bool canStartBatchFiles() const override { return false; }
    // GNOME's media-handling settings, read with gsettings as the companion script reads them.
    [[nodiscard]] std::optional<std::vector<SystemSetting>> systemSettings() override;
    // $XDG_DATA_HOME (only when absolute, else ~/.local/share)/tarnwick/systemset.undo, the
    // place the companion script keeps it.
    [[nodiscard]] UndoRecordFile readUndoRecord() override;
    // $XDG_STATE_HOME/tarnwick/reports, else ~/.local/state/tarnwick/reports.
    [[nodiscard]] std::string reportFolder() const override;
    void openUrl(const std::string& url) override;
    [[nodiscard]] bool previousInstance() override;
    void activatePreviousInstance() override;
    void endProgram() override;

    // Once previousInstance() has found no other copy: a listening socket that a later copy
    // connects to when it wants this copy's window in front; -1 when there is none. It
    // lives in a folder of this user's own that nobody else can write.
    [[nodiscard]] int activationSocket() const { return m_listenFd; }
    // Accepts the waiting requests; true when there was one.
    bool takeActivation();

private:
    // An absolute folder of this user's that nobody else can enter; nothing when there is
    // none to be had.
    [[nodiscard]] std::optional<std::string> runtimeFolder() const;
    void listenForActivation();

    std::string m_folder;
    std::string m_name;
    int m_lockFd = -1;
    int m_listenFd = -1;
};

// The user's data folder as the companion script finds it: $XDG_DATA_HOME when it is
// absolute, else ~/.local/share; nothing without an absolute home folder.
std::optional<std::string> userDataFolder();

// Starts a program with these arguments detached from this process: its own session, no
// terminal, output discarded, not waited for. False when it could not be started.
bool startDetached(const std::string& program, const std::vector<std::string>& arguments);

} // namespace tw
