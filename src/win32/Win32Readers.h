#pragma once

#include "ports/FileSystem.h"
#include "win32/Win32Handle.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tw::win32 {

// Longest line kept; the rest of a longer line is read and dropped.
inline constexpr std::size_t maxLineBytes = 64 * 1024;
// Bytes read from one text file at most: a giant one must not hold the window for minutes.
inline constexpr std::uint64_t maxFileBytes = 16 * 1024 * 1024;

// Lines of a file opened for reading (see LineReader), decoded by decodeLine, in bounded
// memory and time. Takes the handle over.
std::unique_ptr<LineReader> lineReaderOf(Handle file);
// The bytes of a file opened for reading. Takes the handle over.
std::unique_ptr<ByteReader> byteReaderOf(Handle file);

} // namespace tw::win32
