#include "support/ShellLinkWriter.h"

#include <stdexcept>

namespace tw::test {
namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<unsigned char>(v & 0xFF));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

void set16(Bytes& b, std::size_t at, std::size_t v) {
    b[at] = static_cast<unsigned char>(v & 0xFF);
    b[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

void set32(Bytes& b, std::size_t at, std::size_t v) {
    set16(b, at, v & 0xFFFF);
    set16(b, at + 2, v >> 16);
}

// ASCII bytes; anything else as '?', as a code page without the character would.
Bytes ansi(const std::string& s, bool terminated) {
    Bytes out;
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out.push_back(u);
        } else if ((u & 0xC0) != 0x80) {
            out.push_back('?');
        }
    }
    if (terminated) {
        out.push_back(0);
    }
    return out;
}

Bytes wide(const std::u16string& s, bool terminated) {
    Bytes out;
    for (const char16_t u : s) {
        put16(out, u);
    }
    if (terminated) {
        put16(out, 0);
    }
    return out;
}

void append(Bytes& to, const Bytes& from) {
    to.insert(to.end(), from.begin(), from.end());
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    throw std::invalid_argument("not a GUID");
}

// "{00021401-0000-0000-C000-000000000046}" as stored.
Bytes guid(const std::string& text) {
    std::string hex;
    for (const char c : text) {
        if (c != '{' && c != '}' && c != '-') {
            hex += c;
        }
    }
    if (hex.size() != 32) {
        throw std::invalid_argument("not a GUID: " + text);
    }
    Bytes raw;
    for (std::size_t i = 0; i < 32; i += 2) {
        raw.push_back(static_cast<unsigned char>(hexValue(hex[i]) * 16 + hexValue(hex[i + 1])));
    }
    return Bytes{raw[3], raw[2], raw[1],  raw[0],  raw[5],  raw[4],  raw[7],  raw[6],
                 raw[8], raw[9], raw[10], raw[11], raw[12], raw[13], raw[14], raw[15]};
}

const std::string myComputer = "{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
const std::string controlPanel = "{21EC2020-3AEA-1069-A2DD-08002B30309D}";

// An item: its size, then its bytes.
Bytes item(const Bytes& body) {
    Bytes out;
    put16(out, static_cast<std::uint32_t>(body.size() + 2));
    append(out, body);
    return out;
}

Bytes rootItem(const std::string& clsid) {
    Bytes body{0x1F, 0x50};
    append(body, guid(clsid));
    return item(body);
}

Bytes volumeItem(const std::string& volume) {
    Bytes body{0x2F};
    append(body, ansi(volume, true));
    body.resize(23, 0); // Explorer pads the item to 25 bytes
    return item(body);
}

// A file entry with an 8.3-like primary name and the long name in a version 9 extension.
Bytes fileItem(const std::string& name, bool folder) {
    Bytes body{static_cast<unsigned char>(folder ? 0x31 : 0x32), 0x00};
    put32(body, folder ? 0 : 1234);
    put32(body, 0x5A215A21);
    put16(body, folder ? 0x10 : 0x20);
    std::string shortName;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x80 && c != ' ' && shortName.size() < 12) {
            shortName += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    append(body, ansi(shortName.empty() ? "X" : shortName, true));
    if ((body.size() + 2) % 2 != 0) {
        body.push_back(0);
    }
    const std::size_t blockStart = body.size() + 2; // from the item's start
    Bytes block;
    put16(block, 0); // size, set below
    put16(block, 9);
    put32(block, 0xBEEF0004);
    put32(block, 0x5A215A21);
    put32(block, 0x5A215A21);
    put16(block, 0x2E);
    put16(block, 0);
    put32(block, 0x1234); // file reference
    put32(block, 0);
    put32(block, 0);
    put32(block, 0);
    put16(block, 0); // no localised name
    put32(block, 0);
    put32(block, 0);
    append(block, wide(utf16(name), true));
    put16(block, static_cast<std::uint32_t>(blockStart));
    set16(block, 0, block.size());
    append(body, block);
    return item(body);
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : path) {
        if (c == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

Bytes idList(const LinkSpec& spec) {
    Bytes items;
    if (spec.rootClsid) {
        append(items, rootItem(*spec.rootClsid));
    }
    if (spec.idPath) {
        const std::vector<std::string> parts = splitPath(*spec.idPath);
        append(items, rootItem(myComputer));
        append(items, volumeItem(parts[0] + "\\"));
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (!parts[i].empty()) {
                append(items, fileItem(parts[i], i + 1 < parts.size()));
            }
        }
    }
    if (spec.controlPanelFile) {
        append(items, rootItem(myComputer));
        Bytes panel{0x2E, 0x80};
        append(panel, guid(controlPanel));
        append(items, item(panel));
        Bytes applet{0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
        append(applet, wide(utf16(*spec.controlPanelFile), true));
        append(applet, wide(utf16("applet"), true));
        append(items, item(applet));
    }
    for (const Bytes& raw : spec.rawIdItems) {
        append(items, raw);
    }
    put16(items, 0);
    Bytes out;
    put16(out, static_cast<std::uint32_t>(items.size()));
    append(out, items);
    return out;
}

Bytes volumeId() {
    Bytes v;
    put32(v, 0x11);
    put32(v, 3); // a fixed disk
    put32(v, 0x1234ABCD);
    put32(v, 0x10);
    v.push_back(0);
    return v;
}

Bytes linkInfo(const LinkSpec& spec) {
    Bytes out(spec.linkInfoUnicode ? 0x24 : 0x1C, 0);
    set32(out, 4, out.size());
    if (spec.zeroLinkInfo) {
        set32(out, 0, out.size());
        set32(out, 4, out.size());
        return out;
    }
    std::string base;
    std::string suffix;
    std::uint32_t flags = 0;
    if (spec.linkInfoPath) {
        const std::size_t split = std::min(spec.linkInfoSplit, spec.linkInfoPath->size());
        base = spec.linkInfoPath->substr(0, spec.linkInfoPath->size() - split);
        suffix = spec.linkInfoPath->substr(base.size());
        flags |= 0x1;
        set32(out, 12, out.size());
        append(out, volumeId());
        set32(out, 16, out.size());
        append(out, ansi(base, true));
    }
    if (spec.networkShare) {
        const std::string& unc = *spec.networkShare;
        const std::size_t server = unc.find('\\', 2);
        const std::size_t share = unc.find('\\', server + 1);
        suffix = share == std::string::npos ? "" : unc.substr(share + 1);
        flags |= 0x2;
        set32(out, 20, out.size());
        Bytes net;
        put32(net, 0);
        put32(net, 0x2);
        put32(net, 0x14);
        put32(net, 0);
        put32(net, 0x00020000);
        append(net, ansi(unc.substr(0, share), true));
        set32(net, 0, net.size());
        append(out, net);
    }
    set32(out, 8, flags);
    set32(out, 24, out.size());
    append(out, ansi(suffix, true));
    if (spec.linkInfoUnicode) {
        if (spec.linkInfoPath) {
            set32(out, 28, out.size());
            append(out, wide(utf16(base), true));
        }
        set32(out, 32, out.size());
        append(out, wide(utf16(suffix), true));
    }
    set32(out, 0, out.size());
    return out;
}

Bytes countedString(const std::string& s, bool unicode) {
    Bytes out;
    if (unicode) {
        const std::u16string units = utf16(s);
        put16(out, static_cast<std::uint32_t>(units.size()));
        append(out, wide(units, false));
    } else {
        const Bytes bytes = ansi(s, false);
        put16(out, static_cast<std::uint32_t>(bytes.size()));
        append(out, bytes);
    }
    return out;
}

Bytes environmentBlock(const std::string& target) {
    Bytes out;
    put32(out, 0x314);
    put32(out, 0xA0000001);
    Bytes narrow = ansi(target, true);
    narrow.resize(260, 0);
    append(out, narrow);
    Bytes units = wide(utf16(target), true);
    units.resize(520, 0);
    append(out, units);
    return out;
}

} // namespace

std::u16string utf16(const std::string& utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp = lead;
        std::size_t length = 1;
        if (lead >= 0xF0) {
            cp = lead & 0x07u;
            length = 4;
        } else if (lead >= 0xE0) {
            cp = lead & 0x0Fu;
            length = 3;
        } else if (lead >= 0xC0) {
            cp = lead & 0x1Fu;
            length = 2;
        }
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::vector<unsigned char> writeShellLink(const LinkSpec& spec) {
    std::uint32_t flags = spec.extraFlags;
    const bool hasIdList =
        spec.idPath || spec.rootClsid || spec.controlPanelFile || !spec.rawIdItems.empty();
    const bool hasInfo = spec.linkInfoPath || spec.networkShare || spec.zeroLinkInfo;
    const std::pair<std::uint32_t, const std::optional<std::string>*> strings[] = {
        {0x4, &spec.name},       {0x8, &spec.relativePath},  {0x10, &spec.workingDir},
        {0x20, &spec.arguments}, {0x40, &spec.iconLocation},
    };
    flags |= hasIdList ? 0x1u : 0u;
    flags |= hasInfo ? 0x2u : 0u;
    for (const auto& [flag, field] : strings) {
        flags |= field->has_value() ? flag : 0u;
    }
    flags |= spec.rawArguments ? 0x20u : 0u;
    flags |= spec.unicode ? 0x80u : 0u;
    flags |= spec.environmentTarget ? 0x200u : 0u;

    Bytes out;
    put32(out, 0x4C);
    append(out, guid("{00021401-0000-0000-C000-000000000046}"));
    put32(out, flags);
    put32(out, spec.fileAttributes);
    for (int i = 0; i < 6; ++i) {
        put32(out, 0x01D00000u + static_cast<std::uint32_t>(i)); // three file times
    }
    put32(out, spec.fileSize);
    put32(out, static_cast<std::uint32_t>(spec.iconIndex));
    put32(out, spec.showCommand);
    out.resize(0x4C, 0);

    if (hasIdList) {
        append(out, idList(spec));
    }
    if (hasInfo) {
        append(out, linkInfo(spec));
    }
    for (const auto& [flag, field] : strings) {
        if (flag == 0x20 && spec.rawArguments) {
            put16(out, static_cast<std::uint32_t>(spec.rawArguments->size()));
            append(out, wide(*spec.rawArguments, false));
        } else if ((flags & flag) != 0) {
            append(out, countedString(field->value_or(""), spec.unicode));
        }
    }

    std::vector<Bytes> blocks;
    if (spec.environmentTarget) {
        blocks.push_back(environmentBlock(*spec.environmentTarget));
    }
    if (spec.specialFolderId) {
        Bytes b;
        put32(b, 0x10);
        put32(b, 0xA0000005);
        put32(b, *spec.specialFolderId);
        put32(b, 0x14);
        blocks.push_back(b);
    }
    if (spec.knownFolderId) {
        Bytes b;
        put32(b, 0x1C);
        put32(b, 0xA000000B);
        append(b, guid(*spec.knownFolderId));
        put32(b, 0x14);
        blocks.push_back(b);
    }
    for (const Bytes& b : blocks) {
        append(out, b);
    }
    if (spec.shortLastBlock && !blocks.empty()) {
        out.pop_back();
    } else {
        put32(out, 0);
    }
    out.insert(out.end(), spec.trailingPadding, 0);
    return out;
}

} // namespace tw::test
