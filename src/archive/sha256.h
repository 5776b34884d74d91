#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qm {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 (FIPS 180-4), fed in pieces of any size.
class Sha256 {
public:
    Sha256();
    void update(std::span<const std::uint8_t> bytes);
    // The digest of everything fed; the object is spent afterwards.
    Sha256Digest finish();

private:
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t total_bytes_ = 0;
};

Sha256Digest sha256(std::span<const std::uint8_t> bytes);
// 64 lowercase hex digits.
std::string sha256_hex(std::span<const std::uint8_t> bytes);

} // namespace qm
