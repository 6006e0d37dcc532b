#include "scan/AutorunParser.h"

namespace tw {

namespace {

// The number of bytes of the UTF-8 character that starts at line[pos].
std::size_t characterLength(std::string_view line, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(line[pos]);
    std::size_t length = 1;
    if (lead >= 0xF0) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC0) {
        length = 2;
    }
    // Count only the continuation bytes that are really there.
    std::size_t n = 1;
    while (n < length && pos + n < line.size() &&
           (static_cast<unsigned char>(line[pos + n]) & 0xC0) == 0x80) {
        ++n;
    }
    return n;
}

} // namespace

void AutorunParser::feed(std::string_view line) {
    const std::string_view key = line.substr(0, 4);
    if (key != "open" && key != "Open") {
        return;
    }
    if (line.size() == 4) {
        return; // no fifth character: the target stays
    }
    // The fifth character is dropped unexamined; it may take several bytes.
    m_target.assign(line.substr(4 + characterLength(line, 4)));
}

} // namespace tw
