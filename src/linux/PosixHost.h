#pragma once

#include "ports/Host.h"

#include <string>

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
    bool startScript(const std::string& path) override;
    bool startBatchFile(const std::string& path) override;
    [[nodiscard]] bool canStartBatchFiles() const override { return false; }
    void openUrl(const std::string& url) override;
    [[nodiscard]] bool previousInstance() override;
    void endProgram() override;

private:
    std::string m_folder;
    std::string m_name;
    int m_lockFd = -1;
};

// Starts argv detached from this process: its own session, no terminal, output
// discarded, not waited for. False when the program could not be started.
bool startDetached(const std::string& program, const std::string& argument);

} // namespace tw
