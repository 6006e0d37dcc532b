#include "linux/TextLineReader.h"

#include "linux/PosixIo.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::posix {

namespace {

iconv_t asIconv(void* handle) {
    return static_cast<iconv_t>(handle);
}

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
    // One converter for all the file's lines; shared, since std::function copies its target.
    auto decoder = std::make_shared<LineDecoder>();
    return lineReaderOf(byteReaderOf(Fd(fd)),
                        [decoder](std::string_view line) { return decoder->decode(line); });
}

} // namespace tw::posix
