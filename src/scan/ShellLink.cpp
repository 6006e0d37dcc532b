#include "scan/ShellLink.h"

#include "ports/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace tw {
namespace {

using Bytes = std::span<const unsigned char>;

constexpr std::size_t headerSize = 0x4C;
constexpr std::array<unsigned char, 16> linkClsid = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// The Control Panel, its "all items" view and its category view, as stored (little-endian).
constexpr std::array<std::array<unsigned char, 16>, 3> controlPanelClsids = {{
    {0x20, 0x20, 0xEC, 0x21, 0xEA, 0x3A, 0x69, 0x10, 0xA2, 0xDD, 0x08, 0x00, 0x2B, 0x30, 0x30,
     0x9D},
    {0x68, 0x06, 0xEE, 0x26, 0x0A, 0xA0, 0xD7, 0x44, 0x93, 0x71, 0xBE, 0xB0, 0x64, 0xC9, 0x86,
     0x83},
    {0x94, 0xE6, 0x99, 0x53, 0xE5, 0x6C, 0x6C, 0x4D, 0x8F, 0xCE, 0x1D, 0x88, 0x70, 0xFD, 0xCB,
     0xA0},
}};

// Caps on what an attacker's counts can make the parser do.
constexpr std::size_t maxIdItems = 64;
constexpr std::size_t maxExtraBlocks = 64;

constexpr std::uint32_t envBlock = 0xA0000001;
constexpr std::uint32_t specialFolderBlock = 0xA0000005;
constexpr std::uint32_t iconEnvBlock = 0xA0000007;
constexpr std::uint32_t knownFolderBlock = 0xA000000B;

std::uint16_t u16(Bytes b, std::size_t at) {
    if (at > b.size() || b.size() - at < 2) {
        return 0;
    }
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t u32(Bytes b, std::size_t at) {
    if (at > b.size() || b.size() - at < 4) {
        return 0;
    }
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// The part of b from at, at most length bytes; empty when at lies beyond it.
Bytes slice(Bytes b, std::size_t at, std::size_t length) {
    if (at >= b.size()) {
        return {};
    }
    return b.subspan(at, std::min(length, b.size() - at));
}

constexpr std::uint32_t replacement = 0xFFFD;

// UTF-16LE code units up to the first NUL (or the end) to UTF-8.
std::string fromUtf16(Bytes b) {
    std::string out;
    const std::size_t units = b.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t unit = u16(b, 2 * i);
        if (unit == 0) {
            break;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const std::uint32_t next = u16(b, 2 * i + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? replacement : unit);
    }
    return out;
}

// Code-page bytes up to the first NUL: ASCII kept, anything else unknown.
std::string fromCodePage(Bytes b) {
    std::string out;
    for (const unsigned char c : b) {
        if (c == 0) {
            break;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            appendUtf8(out, replacement);
        }
    }
    return out;
}

std::string guidText(Bytes b) {
    if (b.size() < 16) {
        return {};
    }
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(u32(b, 0)), static_cast<unsigned>(u16(b, 4)),
                  static_cast<unsigned>(u16(b, 6)), b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                  b[15]);
    return text;
}

bool holdsControlPanelClsid(Bytes item) {
    for (const auto& clsid : controlPanelClsids) {
        if (std::search(item.begin(), item.end(), clsid.begin(), clsid.end()) != item.end()) {
            return true;
        }
    }
    return false;
}

// The longest run of printable UTF-16 units in an item, at either alignment: the file an
// applet item names sits at different offsets in different Windows versions.
std::string longestUtf16Run(Bytes item) {
    std::size_t bestStart = 0;
    std::size_t bestUnits = 0;
    for (std::size_t parity = 0; parity < 2; ++parity) {
        std::size_t start = parity;
        std::size_t units = 0;
        for (std::size_t at = parity; at + 1 < item.size(); at += 2) {
            const std::uint16_t unit = u16(item, at);
            if (unit >= 0x20 && !(unit >= 0xD800 && unit <= 0xDFFF)) {
                if (units == 0) {
                    start = at;
                }
                ++units;
                if (units > bestUnits) {
                    bestUnits = units;
                    bestStart = start;
                }
            } else {
                units = 0;
            }
        }
    }
    if (bestUnits < 4) {
        return {};
    }
    return fromUtf16(item.subspan(bestStart, 2 * bestUnits));
}

// A NUL-ended code-page string at item[at..].
std::string cString(Bytes b, std::size_t at) {
    return fromCodePage(slice(b, at, b.size()));
}

// The end of a NUL-ended string starting at at (past its NUL), in units of width bytes.
std::size_t pastTerminator(Bytes b, std::size_t at, std::size_t width) {
    while (at + width <= b.size()) {
        const bool nul = width == 1 ? b[at] == 0 : u16(b, at) == 0;
        at += width;
        if (nul) {
            return at;
        }
    }
    return b.size();
}

// The long name in a file entry's 0xBEEF0004 extension block, if any.
std::string longName(Bytes item, std::size_t from) {
    for (std::size_t at = from; at + 20 <= item.size(); at += 2) {
        if (u32(item, at + 4) != 0xBEEF0004) {
            continue;
        }
        const std::size_t blockSize = u16(item, at);
        const std::uint16_t version = u16(item, at + 2);
        if (blockSize < 20 || version < 3) {
            continue;
        }
        std::size_t nameAt = 20;
        if (version >= 7) {
            nameAt += 18;
        }
        if (version >= 8) {
            nameAt += 4;
        }
        if (version >= 9) {
            nameAt += 4;
        }
        const Bytes block = slice(item, at, blockSize);
        return fromUtf16(slice(block, nameAt, block.size()));
    }
    return {};
}

void readIdItem(ShellLink& link, Bytes item, bool& afterControlPanel) {
    if (item.size() < 3) {
        return;
    }
    const unsigned char type = item[2];
    const bool controlPanel = holdsControlPanelClsid(item) || type == 0x71;
    if (type == 0x1F) {
        if (link.rootClsid.empty()) {
            link.rootClsid = guidText(slice(item, 4, 16));
        }
    } else if ((type & 0x70) == 0x20) {
        link.idVolume = cString(slice(item, 0, 3 + 20), 3);
    } else if ((type & 0x70) == 0x40) {
        link.idVolume = cString(slice(item, 0, 5 + 260), 5);
    } else if ((type & 0x70) == 0x30) {
        const bool unicodeName = (type & 0x04) != 0;
        std::string primary =
            unicodeName ? fromUtf16(slice(item, 14, item.size())) : cString(item, 14);
        std::size_t after = pastTerminator(item, 14, unicodeName ? 2 : 1);
        after += after % 2;
        std::string longer = longName(item, after);
        link.idNames.push_back(longer.empty() ? std::move(primary) : std::move(longer));
    } else if (afterControlPanel && !controlPanel && link.controlPanelItemPath.empty()) {
        link.controlPanelItemPath = longestUtf16Run(item);
    }
    if (controlPanel) {
        link.idIntoControlPanel = true;
        afterControlPanel = true;
        if (type == 0x71 && link.controlPanelItemPath.empty()) {
            link.controlPanelItemPath = longestUtf16Run(item);
        }
    }
}

// The ID list at pos; returns where the next structure starts.
std::size_t readIdList(ShellLink& link, Bytes b, std::size_t pos) {
    if (b.size() - pos < 2) {
        link.damaged = true;
        return b.size();
    }
    const std::size_t listSize = u16(b, pos);
    const std::size_t end = pos + 2 + listSize;
    if (end > b.size()) {
        link.damaged = true;
    }
    const Bytes list = slice(b, pos + 2, listSize);
    std::size_t at = 0;
    bool afterControlPanel = false;
    while (true) {
        if (list.size() - at < 2) {
            link.damaged = true;
            break;
        }
        const std::size_t itemSize = u16(list, at);
        if (itemSize == 0) {
            break;
        }
        if (itemSize < 2 || itemSize > list.size() - at || link.idItemCount == maxIdItems) {
            link.damaged = true;
            break;
        }
        ++link.idItemCount;
        readIdItem(link, list.subspan(at, itemSize), afterControlPanel);
        at += itemSize;
    }
    if (!link.idVolume.empty()) {
        link.idPath = link.idVolume;
        for (const std::string& part : link.idNames) {
            if (!link.idPath.empty() && link.idPath.back() != '\\') {
                link.idPath += '\\';
            }
            link.idPath += part;
        }
    }
    return std::min(end, b.size());
}

// A string inside the LinkInfo at an offset from its start; nothing for offset 0.
std::string infoString(Bytes info, std::size_t offset, bool unicode) {
    if (offset == 0 || offset >= info.size()) {
        return {};
    }
    return unicode ? fromUtf16(info.subspan(offset)) : fromCodePage(info.subspan(offset));
}

std::size_t readLinkInfo(ShellLink& link, Bytes b, std::size_t pos) {
    const std::size_t size = u32(b, pos);
    if (b.size() - pos < 4 || size < 4) {
        // A LinkInfo of zeros, size field included, which the shell still accepts: step over
        // its zero words, up to the size of the smallest LinkInfo.
        link.damaged = true;
        std::size_t end = pos + 4;
        while (end + 4 <= b.size() && end - pos < 0x1C && u32(b, end) == 0) {
            end += 4;
        }
        return std::min(end, b.size());
    }
    if (size > b.size() - pos) {
        link.damaged = true;
    }
    const Bytes info = slice(b, pos, size);
    link.hasLinkInfo = true;
    const std::uint32_t header = u32(info, 4);
    const std::uint32_t infoFlags = u32(info, 8);
    const bool unicodeOffsets = header >= 0x24;
    for (std::size_t field = 12; field < (unicodeOffsets ? 36u : 28u); field += 4) {
        const std::size_t offset = u32(info, field);
        if (offset != 0 && offset >= info.size()) {
            link.damaged = true; // read as absent below
        }
    }
    std::string suffix = unicodeOffsets ? infoString(info, u32(info, 32), true) : std::string();
    if (suffix.empty()) {
        suffix = infoString(info, u32(info, 24), false);
    }
    link.commonPathSuffix = suffix;
    if ((infoFlags & 0x1) != 0) {
        std::string base = unicodeOffsets ? infoString(info, u32(info, 28), true) : std::string();
        if (base.empty()) {
            base = infoString(info, u32(info, 16), false);
        }
        link.localBasePath = base;
        link.linkInfoPath = base + suffix;
    }
    if ((infoFlags & 0x2) != 0) {
        const std::size_t netAt = u32(info, 20);
        if (netAt != 0 && netAt < info.size()) {
            const Bytes net = slice(info, netAt, u32(info, netAt));
            const std::uint32_t netFlags = u32(net, 4);
            const std::size_t nameAt = u32(net, 8);
            const bool netUnicode = nameAt > 0x14;
            std::string share = netUnicode ? infoString(net, u32(net, 20), true) : std::string();
            if (share.empty()) {
                share = infoString(net, nameAt, false);
            }
            link.networkPath = share;
            if ((netFlags & 0x1) != 0) {
                std::string device =
                    netUnicode ? infoString(net, u32(net, 24), true) : std::string();
                link.deviceName = device.empty() ? infoString(net, u32(net, 12), false) : device;
            }
            if (link.linkInfoPath.empty() && !share.empty()) {
                link.linkInfoPath = suffix.empty() ? share : share + "\\" + suffix;
            }
        }
    }
    return std::min(pos + size, b.size());
}

std::size_t readString(ShellLink& link, Bytes b, std::size_t pos, std::string& out) {
    if (b.size() - pos < 2) {
        link.damaged = true;
        return b.size();
    }
    const std::size_t count = u16(b, pos);
    const std::size_t bytes = link.has(linkflag::isUnicode) ? 2 * count : count;
    const Bytes text = slice(b, pos + 2, bytes);
    if (text.size() < bytes) {
        link.damaged = true;
    }
    out = link.has(linkflag::isUnicode) ? fromUtf16(text) : fromCodePage(text);
    return pos + 2 + text.size();
}

void readExtraData(ShellLink& link, Bytes b, std::size_t pos) {
    for (std::size_t blocks = 0; blocks < maxExtraBlocks; ++blocks) {
        if (b.size() - pos < 4) {
            link.damaged = true; // the terminal block is missing
            return;
        }
        const std::size_t size = u32(b, pos);
        if (size < 4) {
            return; // the terminal block
        }
        if (size < 8 || b.size() - pos < 8) {
            link.damaged = true;
            return;
        }
        if (size > b.size() - pos) {
            link.damaged = true; // cut short: read what is there
        }
        const Bytes block = slice(b, pos, size);
        switch (u32(block, 4)) {
        case envBlock:
        case iconEnvBlock: {
            std::string target = fromUtf16(slice(block, 268, 520));
            if (target.empty()) {
                target = fromCodePage(slice(block, 8, 260));
            }
            (u32(block, 4) == envBlock ? link.environmentTarget : link.iconEnvironmentTarget) =
                target;
            break;
        }
        case specialFolderBlock:
            link.hasSpecialFolderBlock = true;
            link.specialFolderId = u32(block, 8);
            break;
        case knownFolderBlock:
            link.hasKnownFolderBlock = true;
            link.knownFolderId = guidText(slice(block, 8, 16));
            break;
        default:
            break;
        }
        pos += block.size();
    }
    link.damaged = true; // more blocks than any link has
}

} // namespace

std::string ShellLink::target() const {
    if (!linkInfoPath.empty() && !has(linkflag::forceNoLinkInfo)) {
        return linkInfoPath;
    }
    if (!environmentTarget.empty()) {
        return environmentTarget;
    }
    if (!idPath.empty()) {
        return idPath;
    }
    return relativePath;
}

std::optional<ShellLink> parseShellLink(std::span<const unsigned char> bytes) {
    if (bytes.size() < headerSize || u32(bytes, 0) != headerSize ||
        !std::equal(linkClsid.begin(), linkClsid.end(), bytes.begin() + 4)) {
        return std::nullopt;
    }
    ShellLink link;
    link.flags = u32(bytes, 20);
    link.fileAttributes = u32(bytes, 24);
    link.fileSize = u32(bytes, 52);
    link.iconIndex = static_cast<std::int32_t>(u32(bytes, 56));
    link.showCommand = u32(bytes, 60);

    std::size_t pos = headerSize;
    if (link.has(linkflag::hasTargetIdList)) {
        pos = readIdList(link, bytes, pos);
    }
    if (link.has(linkflag::hasLinkInfo) && pos < bytes.size()) {
        pos = readLinkInfo(link, bytes, pos);
    }
    const std::pair<std::uint32_t, std::string ShellLink::*> strings[] = {
        {linkflag::hasName, &ShellLink::name},
        {linkflag::hasRelativePath, &ShellLink::relativePath},
        {linkflag::hasWorkingDir, &ShellLink::workingDir},
        {linkflag::hasArguments, &ShellLink::arguments},
        {linkflag::hasIconLocation, &ShellLink::iconLocation},
    };
    for (const auto& [flag, member] : strings) {
        if (link.has(flag) && pos < bytes.size()) {
            pos = readString(link, bytes, pos, link.*member);
        } else if (link.has(flag)) {
            link.damaged = true;
        }
    }
    if (pos < bytes.size()) {
        readExtraData(link, bytes, pos);
    } else {
        link.damaged = true;
    }
    return link;
}

} // namespace tw
