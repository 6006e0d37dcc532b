#pragma once

#include "ports/Host.h"
#include "support/Transcript.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {

// Records "start <path>", "open <url>", "activate", "end"; the folders are real temporary folders.
class FakeHost final : public Host {
public:
    FakeHost(Transcript& transcript, std::string temp, std::string programFolder)
        : m_transcript(transcript), m_temp(std::move(temp)), m_program(std::move(programFolder)) {}

    [[nodiscard]] std::string tempFolder() const override { return m_temp; }
    [[nodiscard]] std::string programFolder() const override { return m_program; }
    [[nodiscard]] std::string programName() const override { return name; }
    bool startScript(const std::string& path, const std::vector<std::string>& arguments) override {
        std::string line = "start " + path;
        for (const std::string& argument : arguments) {
            line += " " + argument;
        }
        m_transcript.add(line);
        if (onStart) {
            onStart(path);
        }
        return startSucceeds;
    }
    // The same line as a script: the transcripts name the file, not how it is run.
    bool startBatchFile(const std::string& path) override {
        m_transcript.add("start " + path);
        if (onStart) {
            onStart(path);
        }
        return batchStartSucceeds;
    }
    [[nodiscard]] bool canStartBatchFiles() const override { return batchFilesRun; }
    [[nodiscard]] std::optional<std::vector<SystemSetting>> systemSettings() override {
        return settings;
    }
    [[nodiscard]] UndoRecordFile readUndoRecord() override { return record; }
    // What an honest companion script does to the settings.
    void switchSettingsOff() {
        if (!settings) {
            return; // they cannot be read: nothing to change either
        }
        for (SystemSetting& setting : *settings) {
            setting.value = setting.off;
        }
    }
    [[nodiscard]] std::string reportFolder() const override { return reports; }
    void openUrl(const std::string& url) override { m_transcript.add("open " + url); }
    [[nodiscard]] bool previousInstance() override { return otherCopyRunning; }
    void activatePreviousInstance() override { m_transcript.add("activate"); }
    void endProgram() override { m_transcript.add("end"); }

    std::string name = "tarnwick";
    std::string reports; // the full scan's report folder
    bool otherCopyRunning = false;
    bool startSucceeds = true;
    bool batchStartSucceeds = true;
    // A platform that runs batch files, as the original one; false stands for Linux.
    bool batchFilesRun = true;
    // The AutoPlay settings as the program reads them back (a stand-in script changes them),
    // and the companion's undo record.
    std::optional<std::vector<SystemSetting>> settings = std::vector<SystemSetting>{
        {"user autorun", "on", "off", true}, {"machine autorun", "-", "off", false}};
    UndoRecordFile record{UndoRecordFile::State::absent, {}};
    // Runs when a script or batch file is started (a test's stand-in for it).
    std::function<void(const std::string&)> onStart;

private:
    Transcript& m_transcript;
    std::string m_temp;
    std::string m_program;
};

} // namespace tw::test
