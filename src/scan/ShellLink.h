#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tw {

// LinkFlags of a shell link's header.
namespace linkflag {
inline constexpr std::uint32_t hasTargetIdList = 0x1;
inline constexpr std::uint32_t hasLinkInfo = 0x2;
inline constexpr std::uint32_t hasName = 0x4;
inline constexpr std::uint32_t hasRelativePath = 0x8;
inline constexpr std::uint32_t hasWorkingDir = 0x10;
inline constexpr std::uint32_t hasArguments = 0x20;
inline constexpr std::uint32_t hasIconLocation = 0x40;
inline constexpr std::uint32_t isUnicode = 0x80;
inline constexpr std::uint32_t forceNoLinkInfo = 0x100;
inline constexpr std::uint32_t hasExpString = 0x200;
} // namespace linkflag

// Show commands a link may ask for.
namespace showcmd {
inline constexpr std::uint32_t normal = 1;
inline constexpr std::uint32_t maximized = 3;
inline constexpr std::uint32_t minNoActive = 7;
} // namespace showcmd

// What a .lnk file says, read without resolving, rendering or starting anything. Every text is
// UTF-8: UTF-16 text with unpaired surrogates comes out with U+FFFD in their place, and
// code-page bytes outside ASCII (whose code page the link does not tell) come out as U+FFFD.
struct ShellLink {
    // Header.
    std::uint32_t flags = 0;
    std::uint32_t fileAttributes = 0;
    std::uint32_t fileSize = 0;
    std::int32_t iconIndex = 0;
    std::uint32_t showCommand = 0;

    // The ID list, item by item where the parser understands them.
    std::string rootClsid;            // first root-folder item, "{20D04FE0-...}", upper case
    std::string idVolume;             // "C:\" from a volume item
    std::vector<std::string> idNames; // file-entry items, long name where present
    std::string idPath;               // idVolume + idNames joined by '\'; empty without volume
    bool idIntoControlPanel = false;  // an item is the Control Panel or an applet in it
    std::string controlPanelItemPath; // the file an applet item names, if any
    std::size_t idItemCount = 0;      // items seen (capped)

    // LinkInfo.
    bool hasLinkInfo = false;  // a LinkInfo structure was read (flag and content)
    std::string localBasePath; // Unicode form where present, else code-page form
    std::string commonPathSuffix;
    std::string networkPath;  // the share, "\\server\share"
    std::string deviceName;   // a mapped drive's letter, "Z:"
    std::string linkInfoPath; // base + suffix, or share + '\' + suffix

    // String data; empty when absent (the flags tell absent from empty).
    std::string name;
    std::string relativePath;
    std::string workingDir;
    std::string arguments;
    std::string iconLocation;

    // Extra data.
    std::string environmentTarget;     // environment-variable block, Unicode form preferred
    std::string iconEnvironmentTarget; // the icon's environment block
    bool hasSpecialFolderBlock = false;
    std::uint32_t specialFolderId = 0;
    bool hasKnownFolderBlock = false;
    std::string knownFolderId; // "{...}", upper case

    // Something was cut short or skipped (corrupt but still read as far as it goes).
    bool damaged = false;

    // The target as the shell would take it, without resolving anything: the LinkInfo path,
    // else the environment block's target, else the ID list's path, else the relative path.
    [[nodiscard]] std::string target() const;
    // An ID list into the Control Panel together with a special-folder or known-folder block:
    // the shape that loads code when the icon is merely shown.
    [[nodiscard]] bool exploitForm() const {
        return idIntoControlPanel && (hasSpecialFolderBlock || hasKnownFolderBlock);
    }
    [[nodiscard]] bool has(std::uint32_t flag) const { return (flags & flag) != 0; }
};

// Never reads past the span; every count and string is capped, so the memory used stays a
// small multiple of the input's size. Nothing when the header is not a shell link's header.
std::optional<ShellLink> parseShellLink(std::span<const unsigned char> bytes);

// The most of a .lnk file the full scan reads; larger links are read up to here.
inline constexpr std::size_t maxShellLinkBytes = 64 * 1024;

} // namespace tw
