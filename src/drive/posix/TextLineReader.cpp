#include "drive/posix/TextLineReader.h"

#include <cerrno>
#include <cstdio>

#include <iconv.h>

namespace tw::posix {

namespace {

bool isValidUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= s.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

class FileLineReader final : public LineReader {
public:
    explicit FileLineReader(std::FILE* file) : m_file(file) {}
    ~FileLineReader() override { std::fclose(m_file); }
    FileLineReader(const FileLineReader&) = delete;
    FileLineReader& operator=(const FileLineReader&) = delete;

    std::optional<std::string> next() override {
        if (m_done) {
            return std::nullopt;
        }
        std::string bytes;
        bool any = false;
        for (;;) {
            const int c = std::fgetc(m_file);
            if (c == EOF) {
                m_done = true;
                if (!any) {
                    return std::nullopt;
                }
                break;
            }
            any = true;
            if (c == '\n') {
                break;
            }
            if (c == '\r') {
                const int after = std::fgetc(m_file);
                if (after != '\n' && after != EOF) {
                    std::ungetc(after, m_file);
                }
                break;
            }
            if (bytes.size() < maxLineBytes) {
                bytes.push_back(static_cast<char>(c));
            }
        }
        return decodeLine(bytes);
    }

private:
    std::FILE* m_file;
    bool m_done = false;
};

} // namespace

std::string decodeLine(const std::string& bytes) {
    if (isValidUtf8(bytes)) {
        return bytes;
    }
    iconv_t cd = ::iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return {};
    }
    std::string out;
    std::string input = bytes;
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t r = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid byte: keep it visible as U+FFFD and go on.
            out += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
        }
    }
    ::iconv_close(cd);
    return out;
}

std::unique_ptr<LineReader> openTextLineReader(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (file == nullptr) {
        return nullptr;
    }
    return std::make_unique<FileLineReader>(file);
}

} // namespace tw::posix
