#include "drive/posix/PosixAttributes.h"

#include "drive/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <sys/xattr.h>

namespace tw::posix {

namespace {
constexpr const char* dosAttribName = "user.DOSATTRIB";

std::uint32_t withObjectBits(std::uint32_t stored, const struct stat& st) {
    std::uint32_t value = stored & ~attr::directory;
    if (S_ISDIR(st.st_mode)) {
        return value | attr::directory;
    }
    // A file's read-only bit is its write permission.
    value &= ~attr::readOnly;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        value |= attr::readOnly;
    }
    return value;
}
} // namespace

std::optional<std::uint32_t> parseDosAttrib(const std::string& raw) {
    if (raw.size() > 2 && raw[0] == '0' && (raw[1] == 'x' || raw[1] == 'X')) {
        std::uint32_t value = 0;
        for (std::size_t i = 2; i < raw.size() && raw[i] != '\0'; ++i) {
            const char c = raw[i];
            std::uint32_t digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return std::nullopt;
            }
            value = value * 16 + digit;
            if (value > 0xFFFFFFu) {
                return std::nullopt;
            }
        }
        return value;
    }
    // Samba's NDR blob: an empty hex string and its NUL, padding to 2, the version (u16),
    // the union's level (u16), padding to 4, then for versions 3 to 5 valid flags and the
    // attribute word.
    if (raw.size() >= 16 && raw[0] == '\0') {
        const auto byte = [&](std::size_t i) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(raw[i]));
        };
        const std::uint32_t version = byte(2) | (byte(3) << 8);
        if (version >= 3 && version <= 5) {
            return byte(12) | (byte(13) << 8) | (byte(14) << 16) | (byte(15) << 24);
        }
        if (version == 1 || version == 2) {
            return byte(8) | (byte(9) << 8) | (byte(10) << 16) | (byte(11) << 24);
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> readDosAttrib(const std::string& path, const struct stat& st) {
    char buffer[256];
    const ssize_t n = getxattr(path.c_str(), dosAttribName, buffer, sizeof buffer);
    if (n > 0) {
        if (auto stored = parseDosAttrib(std::string(buffer, static_cast<std::size_t>(n)))) {
            return withObjectBits(*stored, st);
        }
    }
    return withObjectBits(S_ISDIR(st.st_mode) ? 0 : attr::archive, st);
}

bool writeDosAttrib(const std::string& path, const struct stat& st, std::uint32_t value) {
    const bool isDir = S_ISDIR(st.st_mode);
    std::uint32_t stored = value & ~attr::directory;
    if (!isDir) {
        stored &= ~attr::readOnly;
        mode_t mode = st.st_mode & 07777;
        mode = (value & attr::readOnly) != 0
                   ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH))
                   : (mode | S_IWUSR);
        if (mode != (st.st_mode & 07777) && chmod(path.c_str(), mode) != 0) {
            return false;
        }
    }
    if (stored == (isDir ? 0u : attr::archive)) {
        // The default needs no record; an absent record reads back as it.
        return removexattr(path.c_str(), dosAttribName) == 0 || errno == ENODATA;
    }
    char text[16];
    const int len = std::snprintf(text, sizeof text, "0x%x", stored);
    return setxattr(path.c_str(), dosAttribName, text, static_cast<std::size_t>(len), 0) == 0;
}

std::optional<std::uint32_t> readAttributes(const std::string& path, const struct stat& st) {
    return readDosAttrib(path, st);
}

bool writeAttributes(const std::string& path, const struct stat& st, std::uint32_t value) {
    return writeDosAttrib(path, st, value);
}

} // namespace tw::posix
