#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace tw::posix {

// The Windows attribute word of an entry that is not a link, from wherever its file
// system keeps it.
std::optional<std::uint32_t> readAttributes(const std::string& path, const struct stat& st);
bool writeAttributes(const std::string& path, const struct stat& st, std::uint32_t value);

// The user.DOSATTRIB form used where the file system has no attributes of its own.
std::optional<std::uint32_t> readDosAttrib(const std::string& path, const struct stat& st);
bool writeDosAttrib(const std::string& path, const struct stat& st, std::uint32_t value);

// Decodes a user.DOSATTRIB value: "0x..." text, or Samba's binary blob.
std::optional<std::uint32_t> parseDosAttrib(const std::string& raw);

} // namespace tw::posix
