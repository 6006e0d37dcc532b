#pragma once

#include "ports/FileSystem.h"
#include "ports/TextLines.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tw::posix {

using ::tw::isValidUtf8;
using ::tw::LineSplitter;
using ::tw::maxLineBytes;

// Decodes lines as the core's decodeLine does, with iconv's GBK for the pairs.
class LineDecoder {
public:
    LineDecoder();
    ~LineDecoder();
    LineDecoder(const LineDecoder&) = delete;
    LineDecoder& operator=(const LineDecoder&) = delete;

    std::string decode(std::string_view bytes);

private:
    void* m_iconv; // iconv_t, kept out of this header
};

// Reads a file's lines in bounded memory and time (see maxLineBytes), to its end,
// decoding each one with LineDecoder. Only a regular file is opened, never through a link.
std::unique_ptr<LineReader> openTextLineReader(const std::string& path);
// The same over a descriptor opened for reading, which it takes over (closed also on failure).
std::unique_ptr<LineReader> textLineReaderOf(int fd);

// Decodes one line's bytes to UTF-8, as LineDecoder does.
std::string decodeLine(std::string_view bytes);

} // namespace tw::posix
