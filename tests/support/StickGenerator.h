#pragma once

#include "support/ShellLinkWriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tw::test {

// The worm families that travel on sticks today, one generated stick each.
enum class Family {
    jenxcus,           // Hidden+System items, a "<name>.lnk" to cmd.exe beside each
    forbix,            // cmd /c start wscript /e:VBScript.Encode ... & start explorer ... & exit
    gamarue,           // everything in a hidden U+00A0 wrapper, rundll32 link named like the label
    runner,            // hidden sysvolume\u123456.vbs, wscript link named like the label
    dorkbot,           // RECYCLER\S-1-5-21-...\x.exe, hidden
    plugx,             // hidden folder disguised by desktop.ini CLSID, side-loaded DLL
    raspberryRobin,    // cmd /r ... reading a .usb file, msiexec /q http
    docusment,         // folder-named executables, a hidden data folder
    paddedArguments,   // arguments padded past the Properties dialog's view
    exploitLink,       // Control-Panel ID list and a special-folder block, DLL on the stick
    documentReplacing, // each document hidden, a "<document>.lnk" in its place
};

std::vector<Family> allFamilies();
std::string familyName(Family family); // "jenxcus", ...

// What a generated stick holds and what a full scan must make of it. Paths are relative to
// the stick's root with '/' between parts.
struct GeneratedStick {
    std::string label;                   // the drive label the stick was made for
    std::vector<std::string> malicious;  // to the quarantine without a question
    std::vector<std::string> suspicious; // asked about
    // Hidden and System cleared (other bits kept): what a malicious link imitates or opens,
    // wrapper folders, and folders a malicious folder-named program stood in for.
    std::vector<std::string> restored;
    std::vector<std::string> renamed;   // wrappers with names that cannot be seen or typed
    std::vector<std::string> untouched; // must keep their content and attributes
};

// Writes the family's stick into root (an empty folder) for the drive label. Attributes are
// set with setAttr, as the backend under test keeps them.
GeneratedStick makeInfectedStick(const std::string& root, Family family,
                                 const std::string& label = "KINGSTON");

// The user's own links, of every kind a clean stick has.
enum class CleanLink {
    programOnC,         // C:\Program Files\...\app.exe
    documentOnStick,    // E:\docs\report.docx, also hidden documents of the user's own
    folderOnStick,      // E:\photos
    webPage,            // a browser with a URL
    powershellTool,     // powershell -NoProfile -ExecutionPolicy Bypass -File C:\tools\x.ps1
    shellFolder,        // a CLSID-only ID list (This PC, Recycle Bin)
    portableApp,        // E:\PortableApps\app\app.exe with arguments on the stick
    networkShare,       // \\server\share\file
    controlPanelApplet, // an applet in the Control Panel, without a folder block
    relativeLink,       // relative path only
    cmdTool,            // cmd /k with a batch file on C:
};

std::vector<CleanLink> allCleanLinks();

// A clean stick: the user's links of every kind, folders and files hidden by the user
// (System Volume Information, $RECYCLE.BIN, a hidden note), desktop.ini with an icon only.
// Everything in it is listed as untouched; nothing as malicious or suspicious.
GeneratedStick makeCleanStick(const std::string& root, const std::string& label = "MYSTICK");

// The bytes of one clean link of the kind, for unit tests.
std::vector<unsigned char> cleanLinkBytes(CleanLink kind);

} // namespace tw::test
