#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {

// What a test's .lnk file holds. Texts are UTF-8; a string field left empty is not written
// unless its flag is forced in extraFlags (an empty string of count 0).
struct LinkSpec {
    std::uint32_t extraFlags = 0; // or'ed into the flags the fields below imply
    std::uint32_t fileAttributes = 0x20;
    std::uint32_t fileSize = 0;
    std::int32_t iconIndex = 0;
    std::uint32_t showCommand = 1;
    bool unicode = true; // strings in UTF-16LE, else code-page (ASCII) bytes

    // LinkInfo: a local path ("C:\Windows\notepad.exe", split into base and suffix at
    // linkInfoSplit characters from the end) or a file on a share ("\\server\share\a.txt":
    // the share, then the rest as the common suffix).
    std::optional<std::string> linkInfoPath;
    std::size_t linkInfoSplit = 0;
    std::optional<std::string> networkShare;
    bool linkInfoUnicode = false; // a 0x24 header with Unicode copies
    bool zeroLinkInfo = false;    // the flag set and a LinkInfo of zeros (corrupt, accepted)

    // ID list: My Computer, the volume and one file entry per part of idPath ("C:\a\b.exe"),
    // with long names in extension blocks; or a root CLSID only; or the Control Panel with an
    // applet item naming controlPanelFile.
    std::optional<std::string> idPath;
    std::optional<std::string> rootClsid; // "{...}" alone, for shell-folder links
    std::optional<std::string> controlPanelFile;
    std::vector<std::vector<unsigned char>> rawIdItems; // appended as they are (size included)

    std::optional<std::string> name;
    std::optional<std::string> relativePath;
    std::optional<std::string> workingDir;
    std::optional<std::string> arguments;
    std::optional<std::string> iconLocation;
    // UTF-16 code units for the arguments, written as they are (unpaired surrogates).
    std::optional<std::u16string> rawArguments;

    std::optional<std::string> environmentTarget;
    std::optional<std::uint32_t> specialFolderId; // a special-folder block
    std::optional<std::string> knownFolderId;     // a known-folder block, "{...}"
    bool shortLastBlock = false;                  // the last extra block one byte short
    std::size_t trailingPadding = 0;              // zero bytes after the terminal block
};

// The .lnk bytes for spec.
std::vector<unsigned char> writeShellLink(const LinkSpec& spec);

// UTF-8 to UTF-16 code units (the writer's own, for raw fields).
std::u16string utf16(const std::string& utf8);

} // namespace tw::test
