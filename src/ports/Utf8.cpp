#include "ports/Utf8.h"

#include <algorithm>

namespace tw {

std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        return 1;
    }
    std::size_t extra = 0;
    unsigned char low = 0x80; // bounds of the second byte
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
        if (c == 0xE0) {
            low = 0xA0; // overlong
        } else if (c == 0xED) {
            high = 0x9F; // surrogates
        }
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
        if (c == 0xF0) {
            low = 0x90; // overlong
        } else if (c == 0xF4) {
            high = 0x8F; // above U+10FFFF
        }
    } else {
        return 0;
    }
    if (s.size() - i <= extra) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(s[i + 1]);
    if (second < low || second > high) {
        return 0;
    }
    for (std::size_t k = 2; k <= extra; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return extra + 1;
}

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = utf8Length(s, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAsciiText(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return lowerAscii(c); });
    return out;
}

std::string collapsedLower(std::string_view s) {
    std::string out;
    bool inBlank = false;
    for (const char c : s) {
        if (c == ' ' || (c >= '\t' && c <= '\r')) {
            inBlank = true;
            continue;
        }
        if (inBlank && !out.empty()) {
            out += ' ';
        }
        inBlank = false;
        out += lowerAscii(c);
    }
    return out;
}

} // namespace tw
