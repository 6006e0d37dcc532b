#include "drive/Sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace tw::test {
namespace {

// The standard vectors, fed whole and in uneven pieces that cross the block boundaries.
TEST(Sha256, StandardVectors) {
    const struct {
        std::string message;
        const char* digest;
    } vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
         "m"
         "nopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1'000'000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& v : vectors) {
        SCOPED_TRACE(v.message.substr(0, 20));
        Sha256 whole;
        whole.update(v.message.data(), v.message.size());
        EXPECT_EQ(whole.hexDigest(), v.digest);

        Sha256 pieces;
        std::size_t at = 0;
        for (std::size_t step = 1; at < v.message.size(); step = step % 97 + 13) {
            const std::size_t n = std::min(step, v.message.size() - at);
            pieces.update(v.message.data() + at, n);
            at += n;
        }
        EXPECT_EQ(pieces.hexDigest(), v.digest);
    }
}

} // namespace
} // namespace tw::test
