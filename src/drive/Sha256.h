#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tw {

// SHA-256 over bytes fed in pieces; the quarantine fingerprints each copy with it.
class Sha256 {
public:
    Sha256();
    void update(const char* data, std::size_t size);
    // The digest as 64 lower-case hexadecimal digits. Ends the computation.
    std::string hexDigest();

private:
    void block(const unsigned char* data);

    std::array<std::uint32_t, 8> m_state{};
    std::array<unsigned char, 64> m_buffer{};
    std::size_t m_buffered = 0;
    std::uint64_t m_length = 0; // bytes fed so far
};

} // namespace tw
