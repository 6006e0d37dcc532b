// Feeds arbitrary bytes through the autorun.inf line splitter, decoder and parser, checking
// what the quick scan relies on: lines stay bounded, decoded lines are well-formed UTF-8,
// and the target is always empty or a suffix of one line.
#include "linux/TextLineReader.h"
#include "ports/Utf8.h"
#include "scan/AutorunParser.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::vector<std::string> split(std::string_view bytes, std::size_t chunk) {
    tw::posix::LineSplitter splitter;
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < bytes.size(); start += chunk) {
        const std::string_view piece = bytes.substr(start, chunk);
        std::size_t pos = 0;
        while (splitter.scan(piece, pos)) {
            lines.push_back(splitter.take());
        }
    }
    if (splitter.finish()) {
        lines.push_back(splitter.take());
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks a chunk size and, now and then, stretches the middle of the input
    // into a line longer than the splitter keeps.
    std::size_t chunk = (data[0] & 0x3Fu) + 1;
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if ((data[0] & 0xF0) == 0xF0 && !bytes.empty()) {
        const std::size_t middle = bytes.size() / 2;
        char filler = bytes[middle];
        if (filler == '\r' || filler == '\n') {
            filler = 'x';
        }
        bytes.insert(middle, tw::posix::maxLineBytes + 7, filler);
        chunk *= 1021; // reads of odd sizes, as a file gives them
    }

    const std::vector<std::string> lines = split(bytes, chunk);
    check(lines == split(bytes, bytes.size()));

    tw::posix::LineDecoder decoder;
    tw::AutorunParser parser;
    std::vector<std::string> decodedLines;
    for (const std::string& raw : lines) {
        check(raw.size() <= tw::posix::maxLineBytes);
        check(raw.find_first_of("\r\n") == std::string::npos);
        const std::string decoded = decoder.decode(raw);
        check(tw::isValidUtf8(decoded));
        if (tw::isValidUtf8(raw)) {
            check(decoded == raw);
        }
        check(decoded.size() <= 3 * raw.size());

        const std::string before = parser.target();
        parser.feed(decoded);
        check(parser.target() == before || endsWith(decoded, parser.target()));
        decodedLines.push_back(decoded);
    }
    const std::string& target = parser.target();
    bool suffixOfSomeLine = target.empty();
    for (const std::string& line : decodedLines) {
        suffixOfSomeLine = suffixOfSomeLine || endsWith(line, target);
    }
    check(suffixOfSomeLine);

    // The parser on its own takes any bytes, well-formed or not.
    tw::AutorunParser raw;
    raw.feed(bytes);
    check(raw.target().empty() || endsWith(bytes, raw.target()));
    check(raw.target().size() <= bytes.size());
    return 0;
}
