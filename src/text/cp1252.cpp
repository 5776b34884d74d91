#include "text/cp1252.h"

#include <array>

namespace qm {

namespace {

// The characters of the bytes 0x80..0x9F; 0 marks the five bytes without one. Every other byte
// stands for the character of its own number.
constexpr std::array<char32_t, 32> kHighBytes = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

std::optional<char32_t> cp1252_character(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) {
        return byte;
    }
    const char32_t c = kHighBytes[byte - 0x80];
    return c != 0 ? std::optional<char32_t>(c) : std::nullopt;
}

std::optional<char> cp1252_byte(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<char>(character);
    }
    for (std::size_t i = 0; i < kHighBytes.size(); ++i) {
        if (kHighBytes[i] != 0 && kHighBytes[i] == character) {
            return static_cast<char>(0x80 + i);
        }
    }
    return std::nullopt;
}

std::string cp1252_to_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const char32_t c = cp1252_character(static_cast<unsigned char>(b)).value_or(U'\uFFFD');
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace qm
