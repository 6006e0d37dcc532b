#pragma once

#include "ports/FileSystem.h"
#include "scan/FullScanRules.h"
#include "scan/ShellLink.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class Verdict { clean, suspicious, malicious };

enum class Sign {
    // A shortcut's independent signs.
    interpreterTarget,  // its target is a command interpreter or loader
    runsStickFile,      // ... whose arguments (or the applet item) name a file on this stick
    imitatesHiddenItem, // it is named like a hidden item beside it
    namedLikeDrive,     // it is named like the drive label
    exploitForm,        // Control-Panel ID list with a special or known-folder block
    // Its supporting signs: together they count once.
    opensFolder,
    exitsAfterwards,
    minimisedWindow,
    paddedArguments,
    encodedCommand,
    downloadAndRun,
    encodedScriptHost,
    remoteInstaller,
    // Noted, never counted: tools of the user's own have them too.
    hiddenWindow,
    policyBypass,
    nonInteractive,

    // A payload's kind.
    encodedScript,         // "#@~^" ... "^#~@"
    folderNamedExecutable, // "X.exe" beside folder "X"
    doubleExtension,       // "photo.jpg.exe"
    rightToLeftOverride,   // U+202E in the name of an executable
    payloadName,           // a name from the rules: "u123456.vbs", "~WYDCNU.FAT32"
    sideLoadedLibrary,     // a .dll beside a program a malicious link runs
    // A payload's second signs.
    hiddenItem,
    namedByMaliciousLink,
    insideWrapper,
    insideRecycleLike,

    // A folder's.
    wrapperName,        // a name from the rules
    invisibleName,      // blank, U+00A0, control or format characters only
    folderLikeDrive,    // named like the drive label
    desktopIniDisguise, // desktop.ini with CLSID=
    clsidFolderName,    // "Name.{CLSID}"
    recycleLikeFolder,  // "RECYCLER" on a stick
};

struct SignFound {
    Sign sign = Sign::interpreterTarget;
    std::string reason; // Simplified Chinese, for the question and the report
};

// An entry of the folder that holds the item judged.
struct Neighbour {
    std::string name;
    bool folder = false;
    std::optional<std::uint32_t> attributes; // nothing where attributes cannot be read
};

// Looks up a path on the stick, relative to its root, parts joined by '/', never ".." and
// never empty. The verdict never names a path outside the stick.
using StickLookup = std::function<Presence(const std::string& stickPath)>;

// A .lnk file found on the stick.
struct LinkFinding {
    const ShellLink* link = nullptr;
    std::string name;   // the file's name, "Photos.lnk"
    std::string folder; // its folder relative to the stick's root, '/' between parts; "" = root
    std::vector<Neighbour> neighbours;
    std::string driveLabel; // empty when unknown
    StickLookup lookup;
};

struct LinkVerdict {
    Verdict verdict = Verdict::clean;
    std::vector<SignFound> signs;
    // Stick paths ('/' between parts) the arguments or applet item name, that exist: files it
    // runs (payloads when the link is malicious), folders it opens, and files it opens that
    // it imitates (the user's documents: restored, never payloads).
    std::vector<std::string> namedFiles;
    std::vector<std::string> namedFolders;
    std::vector<std::string> openedFiles;
    // Neighbours' names this link imitates (same name, with or without extension).
    std::vector<std::string> imitated;
    // A lookup could not be made: a sign may be missing.
    bool lookupFailed = false;
};

LinkVerdict judgeLink(const LinkFinding& finding, const FullScanRules& rules);

// A file that is not a link: a script, an executable or a name from the rules.
struct PayloadFinding {
    std::string name;
    std::string folder; // relative to the stick's root, '/' between parts; "" = root
    std::optional<std::uint32_t> attributes;
    std::vector<Neighbour> neighbours;
    bool encodedScript = false; // see startsEncodedScript
    bool namedByMaliciousLink = false;
    bool insideWrapper = false;
    // A program in the same folder is named by a malicious link (a library beside it is
    // loaded by it).
    bool besideMaliciousPayload = false;
};

struct PayloadVerdict {
    Verdict verdict = Verdict::clean;
    std::vector<SignFound> signs;
};

// Malicious with a kind sign and a second sign (or when a malicious link names it), suspicious
// with a kind sign alone, clean otherwise. Being inside a recycle-like folder is read from the
// folder path.
PayloadVerdict judgePayload(const PayloadFinding& finding, const FullScanRules& rules);

// A folder found on the stick.
struct FolderFinding {
    std::string name;
    std::string folder; // its parent, relative to the stick's root
    std::optional<std::uint32_t> attributes;
    std::optional<std::string> desktopIni; // the folder's desktop.ini (first bytes), if any
    std::string driveLabel;
};

struct FolderVerdict {
    bool wrapper = false;          // a hidden folder a worm made to hold what it hid
    bool recycleLike = false;      // a recycle-bin-like folder that no stick has of its own
    bool needsVisibleName = false; // a wrapper whose name cannot be seen or typed
    std::vector<SignFound> signs;
};

// A hidden folder is a wrapper when its name is in the rules, is the drive label, cannot be
// seen or typed, or its desktop.ini disguises it by CLSID. Folders that are not hidden (or
// whose attributes cannot be read) are never wrappers.
FolderVerdict judgeFolder(const FolderFinding& finding, const FullScanRules& rules);

// A name made only of blanks, U+00A0, control or format characters (or empty).
bool invisibleName(std::string_view utf8Name);
// The start of an encoded script, "#@~^" and its length field, after an optional BOM.
bool startsEncodedScript(std::span<const unsigned char> head);
// A desktop.ini text whose [.ShellClassInfo] section has a CLSID= (or CLSID2=) entry.
bool desktopIniHasClsid(std::string_view text);

// Chinese names for the report: "恶意", "可疑", "正常".
std::string verdictText(Verdict verdict);

} // namespace tw
