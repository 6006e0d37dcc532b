#include "linux/TextLineReader.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::posix {

namespace {

constexpr const char* replacementCharacter = "\xEF\xBF\xBD";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

iconv_t asIconv(void* handle) {
    return static_cast<iconv_t>(handle);
}

class FileLineReader final : public LineReader {
public:
    explicit FileLineReader(int fd) : m_fd(fd) {}
    ~FileLineReader() override { ::close(m_fd); }
    FileLineReader(const FileLineReader&) = delete;
    FileLineReader& operator=(const FileLineReader&) = delete;

    std::optional<std::string> next() override {
        for (;;) {
            if (m_splitter.scan(std::string_view(m_buffer, m_length), m_pos)) {
                return m_decoder.decode(m_splitter.take());
            }
            if (m_end) {
                if (m_splitter.finish()) {
                    return m_decoder.decode(m_splitter.take());
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
        if (m_total >= maxFileBytes) {
            m_end = true;
            return;
        }
        const auto want = static_cast<std::size_t>(
            std::min<std::uint64_t>(sizeof m_buffer, maxFileBytes - m_total));
        ssize_t n = 0;
        do {
            n = ::read(m_fd, m_buffer, want);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            m_end = true; // the end, or a read error: what was read stands
            return;
        }
        m_length = static_cast<std::size_t>(n);
        // A UTF-8 byte-order mark at the start of the file is not part of its first line.
        if (m_total == 0 && std::string_view(m_buffer, m_length).starts_with(byteOrderMark)) {
            m_pos = byteOrderMark.size();
        }
        m_total += m_length;
    }

    int m_fd;
    char m_buffer[64 * 1024];
    std::size_t m_length = 0;
    std::size_t m_pos = 0;
    std::uint64_t m_total = 0;
    bool m_end = false;
    LineSplitter m_splitter;
    LineDecoder m_decoder;
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

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra = 0;
        unsigned char low = 0x80; // bounds of the second byte
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0) {
                low = 0xA0; // overlong
            } else if (c == 0xED) {
                high = 0x9F; // surrogates
            }
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0) {
                low = 0x90; // overlong
            } else if (c == 0xF4) {
                high = 0x8F; // above U+10FFFF
            }
        } else {
            return false;
        }
        if (s.size() - i <= extra) {
            return false;
        }
        const auto second = static_cast<unsigned char>(s[i + 1]);
        if (second < low || second > high) {
            return false;
        }
        for (std::size_t k = 2; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

LineDecoder::LineDecoder() : m_iconv(::iconv_open("UTF-8", "CP936")) {}

LineDecoder::~LineDecoder() {
    if (asIconv(m_iconv) != reinterpret_cast<iconv_t>(-1)) {
        ::iconv_close(asIconv(m_iconv));
    }
}

std::string LineDecoder::decode(std::string_view bytes) {
    if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    const iconv_t cd = asIconv(m_iconv);
    std::string out;
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep the ASCII and mark the rest.
        for (const char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80) {
                out.push_back(c);
            } else {
                out += replacementCharacter;
            }
        }
        return out;
    }
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t r = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // A byte valid in neither encoding (or a cut-off pair at the end): mark it, go on.
            out += replacementCharacter;
            ++in;
            --inLeft;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::string decodeLine(std::string_view bytes) {
    LineDecoder decoder;
    return decoder.decode(bytes);
}

std::unique_ptr<LineReader> openTextLineReader(const std::string& path) {
    // Non-blocking, so that a fifo put in place of the file cannot hold the scan.
    return textLineReaderOf(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
}

std::unique_ptr<LineReader> textLineReaderOf(int fd) {
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileLineReader>(fd);
}

} // namespace tw::posix
