#pragma once

#include "support/Harness.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::test {

// Hands out its text, or fails after failAfter bytes as a pulled stick would.
class Content final : public ByteReader {
public:
    explicit Content(std::string text, std::size_t failAfter = std::string::npos)
        : m_text(std::move(text)), m_failAfter(failAfter) {}
    std::optional<std::size_t> read(char* buffer, std::size_t size) override {
        if (m_at >= m_failAfter) {
            return std::nullopt;
        }
        const std::size_t n = std::min({size, m_text.size() - m_at, m_failAfter - m_at});
        std::copy_n(m_text.data() + m_at, n, buffer);
        m_at += n;
        return n;
    }

private:
    std::string m_text;
    std::size_t m_failAfter;
    std::size_t m_at = 0;
};

// The platform's quarantine store in a folder not yet made, for files of a removable stick.
class QuarantineStoreFixture : public ::testing::Test {
protected:
    QuarantineFacts facts(const std::string& name, std::size_t size,
                          std::uint32_t attributes = 32) {
        QuarantineFacts f;
        f.originalPath = stick / name;
        f.driveRoot = stick.path();
        f.driveLabel = "STICK";
        f.size = size;
        f.attributes = attributes;
        f.condemnedBy = condemned::markedFile;
        return f;
    }
    std::optional<std::string> add(Quarantine& q, const std::string& name,
                                   const std::string& content, std::uint32_t attributes = 32) {
        Content reader(content);
        return q.add(facts(name, content.size(), attributes), reader);
    }
    std::vector<std::string> ids(Quarantine& q) {
        std::vector<std::string> result;
        const auto items = q.list();
        for (const QuarantineItem& item : items.value()) {
            result.push_back(item.id);
        }
        return result;
    }
    // A file of the store's folder.
    [[nodiscard]] std::string stored(const std::string& name) const {
        return folder + native("/" + name);
    }

    TempDir stick{"stick"};
    TempDir home{"home"};
    const std::string folder = home / "data/tarnwick/quarantine";
    RealFileSystem fs{"removable=" + stick.path()};
};

} // namespace tw::test
