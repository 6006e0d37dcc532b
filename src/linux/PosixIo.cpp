#include "linux/PosixIo.h"

#include <cerrno>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
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

DirStream::DirStream(int fd) : m_dir(fd >= 0 ? ::fdopendir(fd) : nullptr) {
    if (m_dir == nullptr && fd >= 0) {
        ::close(fd);
    }
}

DirStream::DirStream(const std::string& path)
    : DirStream(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

DirStream::~DirStream() {
    if (m_dir != nullptr) {
        ::closedir(static_cast<DIR*>(m_dir));
    }
}

int DirStream::fd() const {
    return ::dirfd(static_cast<DIR*>(m_dir));
}

const char* DirStream::next(bool& error, unsigned char& type) {
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(static_cast<DIR*>(m_dir));
        if (entry == nullptr) {
            error = errno != 0;
            return nullptr;
        }
        const char* name = entry->d_name;
        if (!(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))) {
            type = entry->d_type;
            return name;
        }
    }
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
