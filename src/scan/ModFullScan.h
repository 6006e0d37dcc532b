#pragma once

#include "ports/Ports.h"
#include "scan/FullScanRules.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tw {

// Where the full scan's findings and actions go as they happen: the status line and boxes in
// the window, lines of text on the command line.
class FullScanOutput {
public:
    virtual ~FullScanOutput() = default;
    // A finding or an action, coloured where the window colours it.
    virtual void say(const std::string& text, std::optional<Color> color) = 0;
    // Items looked at so far and the folder at hand; a few times a second at most.
    virtual void progress(const std::string& text) = 0;
    // A Yes/No question about a suspicious item; true on Yes. Nothing when nobody can answer
    // (the command line): the item is left as it is.
    virtual std::optional<bool> ask(const std::string& question) = 0;
    // Whether the user asked the scan to stop; asked between items.
    virtual bool stopRequested() = 0;
};

struct FullScanOptions {
    bool dryRun = false;      // find and report, change nothing
    std::string reportFolder; // where the report goes; empty: none is written
};

enum class FullScanEnd {
    finished,
    stopped,    // by the user; what was done stays done
    unreadable, // the drive could not be read (to the end)
};

struct FullScanSummary {
    FullScanEnd end = FullScanEnd::finished;
    bool dryRun = false;
    std::uint64_t items = 0;          // files, folders and links looked at
    std::uint64_t threatsFound = 0;   // malicious or suspicious items
    std::uint64_t threatsRemoved = 0; // in the quarantine now
    std::uint64_t restored = 0;       // hidden items shown again, wrappers renamed
    std::uint64_t unanswered = 0;     // suspicious items left as they are
    std::uint64_t failed = 0;         // actions that did not take
    bool attributesUnreadable = false;
    std::string reportPath; // empty when no report could be written
    // Anything found at all: a threat or something the worm hid.
    [[nodiscard]] bool foundAnything() const { return threatsFound > 0 || restored > 0; }
};

// The full scan of the drive at drivePath, pinned for the whole walk: every folder, every
// link parsed, what the rules call malicious moved into the quarantine, what is suspicious
// asked about, what the worm hid shown again. Writes its report at the end.
FullScanSummary FullScan(Ports& ports, const std::string& drivePath, const FullScanRules& rules,
                         FullScanOutput& output, const FullScanOptions& options);

// The status line at the end, and the summary box's text.
std::string fullScanEndText(const FullScanSummary& summary);
std::string fullScanSummaryText(const FullScanSummary& summary);

// The file that holds the full scan's rules, beside the program.
std::string fullScanRulesPath(FileSystem& fs, Host& host);

} // namespace tw
