#include "linux/PosixIo.h"

#include <cerrno>
#include <cstdlib>

#include <unistd.h>

namespace tw::posix {

Fd::~Fd() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = other.release();
    }
    return *this;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

class FdByteReader final : public ByteReader {
public:
    explicit FdByteReader(int fd) : m_fd(fd) {}
    std::optional<std::size_t> read(char* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(m_fd.get(), buffer, size);
            if (n >= 0) {
                return static_cast<std::size_t>(n);
            }
            if (errno != EINTR) {
                return std::nullopt;
            }
        }
    }

private:
    Fd m_fd;
};

} // namespace

std::unique_ptr<ByteReader> byteReaderOf(Fd fd) {
    return std::make_unique<FdByteReader>(fd.release());
}

std::optional<std::string> realPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return std::nullopt;
    }
    std::string result = real;
    std::free(real);
    return result;
}

} // namespace tw::posix
