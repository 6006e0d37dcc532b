#include "drive/posix/PosixIo.h"

#include <unistd.h>

#include <cstdlib>

namespace tw::posix {

Fd::~Fd() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
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
