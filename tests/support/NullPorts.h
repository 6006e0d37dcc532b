#pragma once

#include "ports/Host.h"
#include "ports/MainView.h"
#include "ports/Clock.h"
#include "ports/Quarantine.h"

#include <chrono>
#include <cstddef>
#include <string>

namespace tw::test {

// Ports that record nothing and never wait, for measuring the behaviour's own work.

// Counts the captions written; declines every question, so a run changes nothing it asks
// about.
class NullView final : public MainView {
public:
    void setCaption(Ctl, const std::string&) override { ++captions; }
    void setForeColor(Ctl, Color) override {}
    void setVisible(Ctl, bool) override {}
    void setEnabled(Ctl, bool) override {}
    [[nodiscard]] bool isEnabled(Ctl) const override { return true; }
    [[nodiscard]] bool optionValue(int) const override { return false; }
    void setTimer1(bool) override {}
    void setTimer2(bool) override {}
    int msgBox(const std::string&, int, const std::string&) override { return mb::no; }
    void showAbout() override {}
    void showQuarantine(Quarantine&) override {}

    std::size_t captions = 0;
};

// Starts nothing.
class NullHost final : public Host {
public:
    [[nodiscard]] std::string tempFolder() const override { return "/tmp"; }
    [[nodiscard]] std::string programFolder() const override { return "/tmp"; }
    [[nodiscard]] std::string programName() const override { return "tarnwick"; }
    bool startScript(const std::string&) override { return false; }
    bool startBatchFile(const std::string&) override { return false; }
    [[nodiscard]] bool canStartBatchFiles() const override { return false; }
    void openUrl(const std::string&) override {}
    [[nodiscard]] bool previousInstance() override { return false; }
    void endProgram() override {}
};

// Every wait returns at once.
class NoWait final : public Clock {
public:
    void wait(std::chrono::milliseconds) override {}
};

// Keeps nothing: a file it is asked to take stays where it is.
class NullQuarantine final : public Quarantine {
public:
    std::optional<std::string> add(const QuarantineFacts&, ByteReader&) override { return {}; }
    std::optional<std::vector<QuarantineItem>> list() override { return {}; }
    RestoreResult restore(const std::string&, const std::optional<std::string>&) override {
        return {};
    }
    bool purge(const std::string&) override { return false; }
    std::optional<std::size_t> purgeAll() override { return {}; }
};

} // namespace tw::test
