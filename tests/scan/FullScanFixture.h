#pragma once

#include "scan/ScanFixture.h"
#include "support/ShellLinkWriter.h"
#include "support/ShippedRules.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tw::test {

inline void writeLink(const std::string& path, const LinkSpec& spec) {
    const auto bytes = writeShellLink(spec);
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

// The reasons a verdict gives are the verdict's own texts: a transcript here shows where
// they stand, not their wording.
inline Lines withoutReasons(const Lines& lines) {
    Lines out;
    for (std::string line : lines) {
        const auto open = line.find("（");
        const auto close = line.rfind("）");
        if ((line.starts_with("Label7: 发现") || line.starts_with("box[4]")) &&
            open != std::string::npos && close != std::string::npos && close > open) {
            line = line.substr(0, open) + "（…）" + line.substr(close + std::string("）").size());
        }
        out.push_back(line);
    }
    return out;
}

// A harness with the shipped rules beside the program and the full scan selected.
struct FullScanHarness : ScanHarness {
    FullScanHarness() {
        writeFile(program / "fullscan.rules", shippedFullScanRules);
        host.reports = reports.path();
        view.option[1] = true;
    }
    // The one report written, or "" when none.
    std::string report() const {
        const auto names = namesIn(reports.path());
        return names.size() == 1 ? readFile(reports / names[0]) : "";
    }
    std::string reportPath() const {
        const auto names = namesIn(reports.path());
        return names.size() == 1 ? native(reports / names[0]) : "";
    }
    std::vector<std::string> quarantined() {
        std::vector<std::string> out;
        for (const QuarantineItem& item :
             quarantine.list().value_or(std::vector<QuarantineItem>{})) {
            out.push_back(item.condemnedBy + " " + item.originalPath);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    TempDir reports{"reports"};
};

// The shape today's worms leave, by hand: a hidden folder with a shortcut of its name that
// runs an encoded script kept in a hidden "sysvolume", beside the user's own shortcut, a
// folder Windows keeps hidden, the protective autorun.inf folder and a note the user hid.
inline void plantWorm(const TempDir& stick) {
    makeDir(stick / "Photos");
    writeFile(stick / "Photos/a.jpg", "jpeg");
    setAttr(stick / "Photos", 22);
    LinkSpec worm;
    worm.linkInfoPath = "C:\\Windows\\System32\\cmd.exe";
    worm.arguments = "/c start wscript /e:VBScript.Encode sysvolume\\u12345.vbs & start explorer "
                     "Photos & exit";
    worm.showCommand = 7;
    writeLink(stick / "Photos.lnk", worm);
    makeDir(stick / "sysvolume");
    writeFile(stick / "sysvolume/u12345.vbs", "#@~^AQAAAA==x^#~@");
    setAttr(stick / "sysvolume", 22);

    makeDir(stick / "docs");
    writeFile(stick / "docs/report.docx", "PK");
    LinkSpec own;
    own.linkInfoPath = "C:\\Program Files\\Office\\WINWORD.EXE";
    own.arguments = "E:\\docs\\report.docx";
    writeLink(stick / "Report.lnk", own);
    makeDir(stick / "System Volume Information");
    writeFile(stick / "System Volume Information/IndexerVolumeGuid", "{x}");
    setAttr(stick / "System Volume Information", 22);
    makeDir(stick / "autorun.inf");
    setAttr(stick / "autorun.inf", 23);
    writeFile(stick / "notes.txt", "mine");
    setAttr(stick / "notes.txt", 34);
}

} // namespace tw::test
