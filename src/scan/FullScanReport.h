#pragma once

#include "ports/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// The full scan's report: one UTF-8 text file per scan, named by the time it started, in the
// report folder. Only findings and actions are kept, so its size follows what was found, not
// the size of the drive.
class FullScanReport {
public:
    // time: seconds since 1970-01-01 UTC when the scan started.
    FullScanReport(std::string drivePath, std::int64_t time, bool dryRun);

    void add(std::string line) { m_lines.push_back(std::move(line)); }
    // A line before the findings (the drive's file system, its label, the rules).
    void addHeader(std::string line) { m_header.push_back(std::move(line)); }

    // Writes the report with its summary lines into folder (made where missing); the file's
    // path, or nothing when it could not be written.
    std::optional<std::string> write(FileSystem& fs, const std::string& folder,
                                     const std::vector<std::string>& summary) const;

    [[nodiscard]] const std::vector<std::string>& lines() const { return m_lines; }

private:
    std::string m_drivePath;
    std::int64_t m_time;
    bool m_dryRun;
    std::vector<std::string> m_header;
    std::vector<std::string> m_lines;
};

// The report file's name for a scan that started at time: "fullscan-20260508-153012.txt".
std::string fullScanReportName(std::int64_t time);

// The newest report in folder; nothing when there is none.
std::optional<std::string> latestFullScanReport(FileSystem& fs, const std::string& folder);

} // namespace tw
