#include "win32/Win32Readers.h"

#include "win32/Win32Text.h"

#include <optional>
#include <vector>

namespace tw::win32 {

namespace {

class HandleByteReader final : public ByteReader {
public:
    explicit HandleByteReader(Handle file) : m_file(std::move(file)) {}
    std::optional<std::size_t> read(char* buffer, std::size_t size) override {
        DWORD n = 0;
        const DWORD chunk = size > (1u << 20) ? (1u << 20) : static_cast<DWORD>(size);
        if (!::ReadFile(m_file.get(), buffer, chunk, &n, nullptr)) {
            return std::nullopt;
        }
        return n;
    }

private:
    Handle m_file;
};

class HandleLineReader final : public LineReader {
public:
    explicit HandleLineReader(Handle file) : m_file(std::move(file)), m_buffer(64 * 1024) {}

    std::optional<std::string> next() override {
        for (;;) {
            while (m_pos < m_size) {
                const char c = m_buffer[m_pos++];
                if (m_afterCr && c == '\n') {
                    m_afterCr = false;
                    continue; // the LF of a CR LF
                }
                m_afterCr = false;
                if (c == '\r' || c == '\n') {
                    m_afterCr = c == '\r';
                    m_pending = false;
                    return take();
                }
                m_pending = true;
                if (m_line.size() < maxLineBytes) {
                    m_line.push_back(c);
                }
            }
            if (!fill()) {
                if (m_pending) {
                    m_pending = false;
                    return take();
                }
                return std::nullopt;
            }
        }
    }

private:
    bool fill() {
        if (m_ended || m_read >= maxFileBytes) {
            return false;
        }
        DWORD n = 0;
        if (!::ReadFile(m_file.get(), m_buffer.data(), static_cast<DWORD>(m_buffer.size()), &n,
                        nullptr) ||
            n == 0) {
            m_ended = true;
            return false;
        }
        m_pos = 0;
        m_size = n;
        if (m_read == 0 && n >= 3 && std::string_view(m_buffer.data(), 3) == "\xEF\xBB\xBF") {
            m_pos = 3; // a UTF-8 byte-order mark
        }
        m_read += n;
        return true;
    }

    std::string take() {
        std::string line = decodeLine(m_line);
        m_line.clear();
        return line;
    }

    Handle m_file;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_size = 0;
    std::uint64_t m_read = 0;
    std::string m_line;
    bool m_pending = false;
    bool m_afterCr = false;
    bool m_ended = false;
};

} // namespace

std::unique_ptr<LineReader> lineReaderOf(Handle file) {
    return std::make_unique<HandleLineReader>(std::move(file));
}

std::unique_ptr<ByteReader> byteReaderOf(Handle file) {
    return std::make_unique<HandleByteReader>(std::move(file));
}

} // namespace tw::win32
