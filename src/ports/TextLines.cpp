#include "ports/TextLines.h"

#include <algorithm>
#include <utility>

namespace tw {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

class ByteLineReader final : public LineReader {
public:
    ByteLineReader(std::unique_ptr<ByteReader> bytes,
                   std::function<std::string(std::string_view)> decode)
        : m_bytes(std::move(bytes)), m_decode(std::move(decode)) {}

    std::optional<std::string> next() override {
        for (;;) {
            if (m_splitter.scan(std::string_view(m_buffer, m_length), m_pos)) {
                return m_decode(m_splitter.take());
            }
            if (m_end) {
                if (m_splitter.finish()) {
                    return m_decode(m_splitter.take());
                }
                return std::nullopt;
            }
            refill();
        }
    }

private:
    void refill() {
        m_pos = 0;
        m_length = 0;
        const auto n = m_bytes->read(m_buffer, sizeof m_buffer);
        if (!n || *n == 0) {
            m_end = true; // the end, or a read error: what was read stands
            return;
        }
        m_length = std::min(*n, sizeof m_buffer);
        // A UTF-8 byte-order mark at the start of the file is not part of its first line.
        if (m_first && std::string_view(m_buffer, m_length).starts_with(byteOrderMark)) {
            m_pos = byteOrderMark.size();
        }
        m_first = false;
    }

    std::unique_ptr<ByteReader> m_bytes;
    std::function<std::string(std::string_view)> m_decode;
    char m_buffer[64 * 1024];
    std::size_t m_length = 0;
    std::size_t m_pos = 0;
    bool m_first = true;
    bool m_end = false;
    LineSplitter m_splitter;
};

} // namespace

bool LineSplitter::scan(std::string_view data, std::size_t& pos) {
    if (m_afterCr && pos < data.size()) {
        m_afterCr = false;
        if (data[pos] == '\n') {
            ++pos;
        }
    }
    const std::size_t end = data.find_first_of("\r\n", pos);
    const std::size_t stop = end == std::string_view::npos ? data.size() : end;
    if (stop > pos) {
        m_pending = true;
        const std::size_t room = maxLineBytes - m_line.size();
        m_line.append(data.substr(pos, std::min(stop - pos, room)));
    }
    pos = stop;
    if (end == std::string_view::npos) {
        return false;
    }
    m_afterCr = data[end] == '\r';
    m_pending = false;
    ++pos;
    return true;
}

bool LineSplitter::finish() {
    const bool waiting = m_pending;
    m_pending = false;
    m_afterCr = false;
    return waiting;
}

std::string LineSplitter::take() {
    std::string line;
    line.swap(m_line);
    return line;
}

std::string decodeLine(std::string_view bytes, const GbkPair& pair) {
    if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        if (lead == 0x80) {
            appendUtf8(out, U'\u20AC'); // the one single byte code page 936 adds: the euro
            ++i;
            continue;
        }
        if (lead >= 0x81 && lead <= 0xFE && i + 1 < bytes.size()) {
            const auto trail = static_cast<unsigned char>(bytes[i + 1]);
            if (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) {
                const auto c = pair(lead, trail);
                if (c && *c != 0 && *c <= 0x10FFFF && (*c < 0xD800 || *c > 0xDFFF)) {
                    appendUtf8(out, *c);
                    i += 2;
                    continue;
                }
            }
        }
        // A byte valid in neither encoding (or a cut-off pair at the end): mark it, go on.
        out += replacementCharacter;
        ++i;
    }
    return out;
}

std::unique_ptr<LineReader> lineReaderOf(std::unique_ptr<ByteReader> bytes,
                                         std::function<std::string(std::string_view)> decode) {
    if (!bytes) {
        return nullptr;
    }
    return std::make_unique<ByteLineReader>(std::move(bytes), std::move(decode));
}

} // namespace tw
