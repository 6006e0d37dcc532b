#pragma once

#include "ports/FileSystem.h"
#include "ports/Utf8.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// Longest line kept; the rest of a longer line is read and dropped.
inline constexpr std::size_t maxLineBytes = 64 * 1024;

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

// The character of one two-byte GBK sequence, from the platform's converter; nothing where
// the pair means nothing.
using GbkPair = std::function<std::optional<char32_t>(unsigned char lead, unsigned char trail)>;

// Decodes one line to UTF-8: kept as it is when it is valid UTF-8, otherwise read as GBK
// (code page 936), one pair at a time through pair, with U+FFFD for each byte that starts
// nothing valid. Both builds decode alike whatever their converters do with bad input.
std::string decodeLine(std::string_view bytes, const GbkPair& pair);

// The lines of a file's bytes (see LineReader), read to the end of the file in bounded
// memory, each decoded by decode. A UTF-8 byte-order mark at the start is skipped.
std::unique_ptr<LineReader> lineReaderOf(std::unique_ptr<ByteReader> bytes,
                                         std::function<std::string(std::string_view)> decode);

} // namespace tw
