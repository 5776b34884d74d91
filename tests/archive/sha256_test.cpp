#include "archive/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm {
namespace {

std::span<const std::uint8_t> bytes_of(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The FIPS 180 examples, and lengths around the padding's block boundary (55, 56, 64 bytes).
TEST(Sha256, KnownDigests) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sha256_hex(bytes_of(c.message)), c.digest) << c.message.size() << " bytes";
    }
}

// Pieces of every size give the digest of the whole.
TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
    std::string message;
    for (int i = 0; i < 300; ++i) {
        message += static_cast<char>(i * 7);
    }
    const Sha256Digest whole = sha256(bytes_of(message));
    for (std::size_t piece : {1U, 3U, 63U, 64U, 65U, 200U}) {
        Sha256 hash;
        for (std::size_t at = 0; at < message.size(); at += piece) {
            hash.update(bytes_of(message.substr(at, piece)));
        }
        EXPECT_EQ(hash.finish(), whole) << "pieces of " << piece;
    }
}

} // namespace
} // namespace qm
