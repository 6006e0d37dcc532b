#pragma once

#include "drive/FileSystem.h"

#include <memory>
#include <string>

namespace tw::posix {

// Longest line kept; the rest of a longer line is read and dropped.
inline constexpr std::size_t maxLineBytes = 64 * 1024;

// Reads a file's lines (ends: CR, CR LF, LF) in bounded memory, decoding each as UTF-8 when
// valid and otherwise as the Chinese ANSI code page (GBK).
std::unique_ptr<LineReader> openTextLineReader(const std::string& path);

// Decodes one line's bytes to UTF-8.
std::string decodeLine(const std::string& bytes);

} // namespace tw::posix
