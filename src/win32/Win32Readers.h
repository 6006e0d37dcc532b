#pragma once

#include "ports/FileSystem.h"
#include "win32/Win32Handle.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tw::win32 {

// Lines of a file opened for reading (see LineReader), decoded by decodeLine, read to the
// end of the file in bounded memory: a line hidden behind megabytes of padding is found.
// Takes the handle over.
std::unique_ptr<LineReader> lineReaderOf(Handle file);
// The bytes of a file opened for reading. Takes the handle over.
std::unique_ptr<ByteReader> byteReaderOf(Handle file);

} // namespace tw::win32
