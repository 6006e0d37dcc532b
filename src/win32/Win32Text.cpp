#include "win32/Win32Text.h"

#include "ports/TextLines.h"

#include <windows.h>

#include <vector>

namespace tw::win32 {

namespace {

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring toWide(std::string_view bytes, unsigned codePage) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        ::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), n);
    }
    return wide;
}

std::string fromWide(std::wstring_view wide, unsigned codePage) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int n =
        ::WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        ::WideCharToMultiByte(codePage, 0, wide.data(), size, bytes.data(), n, nullptr, nullptr);
    }
    return bytes;
}

} // namespace

std::wstring widen(std::string_view utf8) {
    return toWide(utf8, CP_UTF8);
}

std::string narrow(std::wstring_view wide) {
    return fromWide(wide, CP_UTF8);
}

std::string toAnsi(std::string_view utf8) {
    return fromWide(widen(utf8), CP_ACP);
}

std::string decodeLine(std::string_view bytes) {
    return ::tw::decodeLine(bytes, [](unsigned char lead, unsigned char trail) {
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        wchar_t c = 0;
        const bool one = ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, pair, 2, &c, 1) == 1;
        return one ? std::optional<char32_t>(c) : std::nullopt;
    });
}

bool isDriveLetterRoot(const std::string& path) {
    const bool letter = path.size() >= 2 &&
                        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return letter && path[1] == ':' &&
           (path.size() == 2 || (path.size() == 3 && (path[2] == '\\' || path[2] == '/')));
}

std::wstring apiPath(const std::string& path) {
    std::wstring wide = widen(path);
    for (wchar_t& c : wide) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (wide.rfind(L"\\\\?\\", 0) == 0) {
        return wide;
    }
    std::wstring prefix;
    std::wstring rest;
    if (wide.size() >= 2 && wide[1] == L':' && (wide.size() == 2 || isSeparator(wide[2]))) {
        prefix = L"\\\\?\\" + wide.substr(0, 2);
        rest = wide.size() > 2 ? wide.substr(3) : std::wstring();
    } else if (wide.rfind(L"\\\\", 0) == 0) {
        prefix = L"\\\\?\\UNC";
        rest = wide.substr(2);
    } else {
        // Relative: made absolute by the system, which keeps the last name as it is only
        // when it does not end in a dot or a space; the core passes absolute paths.
        const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
        if (n == 0) {
            return wide;
        }
        std::wstring full(n, L'\0');
        const DWORD written = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
        full.resize(written);
        return written == 0 || full.empty() ? wide : apiPath(narrow(full));
    }
    // Components: "." dropped, ".." removing the one before it (never above the root).
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find(L'\\', start);
        if (end == std::wstring::npos) {
            end = rest.size();
        }
        std::wstring part = rest.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != L".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::wstring result = prefix;
    for (const std::wstring& part : parts) {
        result += L'\\';
        result += part;
    }
    if (parts.empty()) {
        result += L'\\'; // a drive's root keeps its backslash: "\\?\E:" names the device
    }
    return result;
}

} // namespace tw::win32
