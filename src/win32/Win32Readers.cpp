#include "win32/Win32Readers.h"

#include "ports/TextLines.h"
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

} // namespace

std::unique_ptr<LineReader> lineReaderOf(Handle file) {
    return ::tw::lineReaderOf(byteReaderOf(std::move(file)),
                              [](std::string_view bytes) { return decodeLine(bytes); });
}

std::unique_ptr<ByteReader> byteReaderOf(Handle file) {
    return std::make_unique<HandleByteReader>(std::move(file));
}

} // namespace tw::win32
