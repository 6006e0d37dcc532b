#include "linux/TextLineReader.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::posix {

namespace {

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
        const std::size_t want = sizeof m_buffer;
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

LineDecoder::LineDecoder() : m_iconv(::iconv_open("UTF-32LE", "CP936")) {}

LineDecoder::~LineDecoder() {
    if (asIconv(m_iconv) != reinterpret_cast<iconv_t>(-1)) {
        ::iconv_close(asIconv(m_iconv));
    }
}

std::string LineDecoder::decode(std::string_view bytes) {
    const iconv_t cd = asIconv(m_iconv);
    return ::tw::decodeLine(
        bytes, [cd](unsigned char lead, unsigned char trail) -> std::optional<char32_t> {
            if (cd == reinterpret_cast<iconv_t>(-1)) {
                return std::nullopt; // no converter: the ASCII stays, the rest is marked
            }
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
            char input[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            unsigned char output[4] = {};
            char* in = input;
            std::size_t inLeft = sizeof input;
            char* out = reinterpret_cast<char*>(output);
            std::size_t outLeft = sizeof output;
            if (::iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
                inLeft != 0 || outLeft != 0) {
                return std::nullopt;
            }
            return static_cast<char32_t>(output[0] | (output[1] << 8) | (output[2] << 16) |
                                         (output[3] << 24));
        });
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
