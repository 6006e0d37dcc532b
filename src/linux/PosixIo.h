#pragma once

#include "ports/FileSystem.h"

#include <memory>
#include <optional>
#include <string>

namespace tw::posix {

// Owns a file descriptor (negative: none) and closes it when it goes.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd();
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;

    [[nodiscard]] int get() const { return m_fd; }
    // Gives the descriptor up, for a caller that must see the result of close().
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// Reads the names of a folder ("." and ".." left out), and closes it when it goes.
class DirStream {
public:
    // Takes over a descriptor opened with O_RDONLY | O_DIRECTORY (closed also on failure).
    explicit DirStream(int fd);
    explicit DirStream(const std::string& path);
    ~DirStream();
    DirStream(const DirStream&) = delete;
    DirStream& operator=(const DirStream&) = delete;

    [[nodiscard]] bool open() const { return m_dir != nullptr; }
    [[nodiscard]] int fd() const;
    // The next name; nothing at the end, with error set when reading failed. type: the
    // entry's DT_ type as the folder tells it, DT_UNKNOWN where it does not.
    const char* next(bool& error, unsigned char& type);
    const char* next(bool& error) {
        unsigned char type = 0;
        return next(error, type);
    }
    const char* next() {
        bool error = false;
        return next(error);
    }

private:
    void* m_dir; // DIR*, kept out of this header
};

// Writes all of data, going on after interruptions; false on an error.
bool writeAll(int fd, const char* data, std::size_t size);

// Reads the bytes of an open file.
std::unique_ptr<ByteReader> byteReaderOf(Fd fd);

// The path with every link, "." and ".." resolved; nothing when it cannot be resolved.
std::optional<std::string> realPath(const std::string& path);

} // namespace tw::posix
