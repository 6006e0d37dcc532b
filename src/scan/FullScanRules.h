#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class FileSystem;

// What a shortcut's arguments may give away. Each has its own reason text in the verdict.
enum class ArgumentSign {
    opensFolder,       // "start explorer ..."
    exitsAfterwards,   // "& exit"
    encodedCommand,    // powershell -enc
    hiddenWindow,      // powershell -w hidden
    policyBypass,      // powershell -ep bypass
    nonInteractive,    // powershell -noni
    downloadAndRun,    // IEX( / .DownloadString(
    encodedScriptHost, // wscript /e:VBScript.Encode
    remoteInstaller,   // msiexec ... http
};

struct ArgumentPattern {
    ArgumentSign sign = ArgumentSign::opensFolder;
    // Lower case, runs of blanks as one space; '*' stands for any run of characters.
    std::string pattern;
};

// The full scan's description of today's threats, read from fullscan.rules. Names and
// patterns are kept in lower case (ASCII letters) and compared ignoring ASCII case. Patterns
// of file names take '*' (any run), '?' (one character) and '#' (one or more digits).
struct FullScanRules {
    int version = 0;
    std::vector<std::string> interpreters; // program file names: "cmd.exe"
    std::vector<ArgumentPattern> argumentSigns;
    std::vector<std::string> wrapperNames;         // exact folder names, escapes decoded
    bool wrapperDriveLabel = false;                // a hidden folder named like the drive label
    std::vector<std::string> recycleLikeNames;     // "recycler": no recycle bin lives on a stick
    std::vector<std::string> payloadPatterns;      // "u#.vbs", "~*.fat32"
    std::vector<std::string> scriptExtensions;     // ".vbs"
    std::vector<std::string> executableExtensions; // ".exe"
    std::vector<std::string> decoyExtensions;      // ".jpg" in "photo.jpg.exe"
    std::vector<std::string> candidateExtensions;  // files whose first bytes are read: ".lnk"
    std::vector<std::string> candidateNames;       // likewise by whole name: "desktop.ini"
    std::vector<std::string> untouchedFolders;     // "system volume information"
    std::size_t paddingThreshold = 0;              // a run of this many blanks in arguments

    [[nodiscard]] bool isInterpreter(std::string_view fileName) const;
    [[nodiscard]] bool isWrapperName(std::string_view folderName) const;
    [[nodiscard]] bool isRecycleLike(std::string_view folderName) const;
    [[nodiscard]] bool isPayloadName(std::string_view fileName) const;
    [[nodiscard]] bool isScript(std::string_view fileName) const;
    [[nodiscard]] bool isExecutable(std::string_view fileName) const;
    // Whether the full scan reads the first bytes of this file.
    [[nodiscard]] bool isCandidate(std::string_view fileName) const;
    [[nodiscard]] bool isUntouched(std::string_view folderName) const;
};

// The rules, or why there are none.
struct RulesLoad {
    std::optional<FullScanRules> rules;
    std::string error; // empty when rules hold a value; English, for logs and tests
};

// The format this program reads: a first line "tarnwick-fullscan-rules 1".
inline constexpr int fullScanRulesVersion = 1;
inline constexpr std::size_t maxRulesBytes = 256 * 1024;
inline constexpr std::size_t maxRulesLineBytes = 1024;
inline constexpr std::size_t maxRulesEntries = 4096;

// Parses the whole file's text (UTF-8). Anything it does not understand makes it refuse the
// file as a whole: an unknown version, section, key or sign, a line too long, too many
// entries, bytes that are not UTF-8, a file too large.
RulesLoad parseFullScanRules(std::string_view text);

// Reads and parses the file at path, reading at most maxRulesBytes + 1 bytes.
RulesLoad loadFullScanRules(FileSystem& fs, const std::string& path);

// Wildcard match of a lower-case pattern ('*', '?', '#') against a name, ignoring ASCII case.
bool matchesNamePattern(std::string_view pattern, std::string_view name);

} // namespace tw
