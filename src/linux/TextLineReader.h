#pragma once

#include "ports/FileSystem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tw::posix {

// Longest line kept; the rest of a longer line is read and dropped.
inline constexpr std::size_t maxLineBytes = 64 * 1024;
// Bytes read from one file at most. A text file that names a program is a few hundred
// bytes; a giant one must not hold the window for minutes on a slow stick.
inline constexpr std::uint64_t maxFileBytes = 16 * 1024 * 1024;

// Cuts a stream of bytes into lines ending at CR, CR LF or LF, in bounded memory: a line
// keeps at most maxLineBytes, the rest of it is dropped.
class LineSplitter {
public:
    // Consumes data from pos on. True when a line has ended (take it with take()); pos then
    // stands after its line end. False when data ran out in the middle of a line.
    bool scan(std::string_view data, std::size_t& pos);
    // At the end of the input: true when an unterminated last line is waiting.
    bool finish();
    // The line that has ended, without its line end; the splitter starts the next one.
    std::string take();

private:
    std::string m_line;
    bool m_pending = false; // bytes of an unfinished line have been seen
    bool m_afterCr = false; // the last line ended at a CR: a LF right after belongs to it
};

// Decodes lines to UTF-8: kept as they are when they are valid UTF-8, otherwise read in the
// Chinese ANSI code page (936, GBK), with U+FFFD for bytes that are valid in neither.
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

// Reads a file's lines in bounded memory and time (see maxLineBytes, maxFileBytes),
// decoding each one with LineDecoder. Only a regular file is opened, never through a link.
std::unique_ptr<LineReader> openTextLineReader(const std::string& path);
// The same over a descriptor opened for reading, which it takes over (closed also on failure).
std::unique_ptr<LineReader> textLineReaderOf(int fd);

// Decodes one line's bytes to UTF-8, as LineDecoder does.
std::string decodeLine(std::string_view bytes);

// Whether bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF).
bool isValidUtf8(std::string_view bytes);

} // namespace tw::posix
