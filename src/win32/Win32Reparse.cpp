#include "win32/Win32Reparse.h"

#include "win32/Win32FileSystem.h"
#include "win32/Win32Handle.h"
#include "win32/Win32Text.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <vector>

namespace tw {

namespace win32 {

namespace {

constexpr std::uint32_t tagMountPoint = 0xA0000003;
constexpr std::uint32_t tagSymlink = 0xA000000C;
constexpr std::uint32_t tagWslSymlink = 0xA000001D;
constexpr std::size_t headerSize = 8; // tag, data length, reserved

std::uint32_t readLittle(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

// A UTF-16 name at offset/length bytes into the path buffer; nothing when it does not fit.
std::optional<std::wstring> nameIn(std::string_view buffer, std::uint32_t offset,
                                   std::uint32_t length) {
    if (length % 2 != 0 || offset > buffer.size() || length > buffer.size() - offset) {
        return std::nullopt;
    }
    std::wstring name(length / 2, L'\0');
    for (std::size_t i = 0; i < name.size(); ++i) {
        name[i] = static_cast<wchar_t>(readLittle(buffer, offset + 2 * i, 2));
    }
    return name;
}

} // namespace

std::optional<std::string> reparseLinkText(std::string_view bytes) {
    if (bytes.size() < headerSize) {
        return std::nullopt;
    }
    const std::uint32_t tag = readLittle(bytes, 0, 4);
    const std::size_t dataLength = readLittle(bytes, 4, 2);
    if (dataLength > bytes.size() - headerSize) {
        return std::nullopt;
    }
    const std::string_view data = bytes.substr(headerSize, dataLength);
    if (tag == tagWslSymlink) {
        // A version word, then the text in UTF-8.
        if (data.size() <= 4 || data.substr(4).find('\0') != std::string_view::npos) {
            return std::nullopt;
        }
        return std::string(data.substr(4));
    }
    if (tag != tagSymlink && tag != tagMountPoint) {
        return std::nullopt;
    }
    // Four words place the two names in the path buffer, which a symbolic link's flags
    // word precedes.
    const std::size_t bufferAt = tag == tagSymlink ? 12 : 8;
    if (data.size() < bufferAt) {
        return std::nullopt;
    }
    const std::string_view buffer = data.substr(bufferAt);
    const auto substitute = nameIn(buffer, readLittle(data, 0, 2), readLittle(data, 2, 2));
    const auto shown = nameIn(buffer, readLittle(data, 4, 2), readLittle(data, 6, 2));
    if (!substitute || !shown) {
        return std::nullopt;
    }
    std::wstring text = *shown;
    if (text.empty()) {
        text = *substitute;
        if (text.rfind(L"\\??\\", 0) == 0) {
            text.erase(0, 4);
        }
    }
    if (text.empty() || text.find(L'\0') != std::wstring::npos) {
        return std::nullopt;
    }
    return narrow(text);
}

} // namespace win32

// The entry is held as every call holds it (never through a reparse point on the way) and
// asked for its data; what the link names is never opened.
std::optional<std::string> Win32FileSystem::readLink(const std::string& path) {
    const auto held = hold(path, FILE_READ_ATTRIBUTES);
    if (!held || !held->isReparsePoint()) {
        return std::nullopt;
    }
    std::vector<char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD returned = 0;
    if (::DeviceIoControl(held->entry.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                          static_cast<DWORD>(buffer.size()), &returned, nullptr) == 0) {
        return std::nullopt;
    }
    return win32::reparseLinkText(std::string_view(buffer.data(), returned));
}

} // namespace tw
