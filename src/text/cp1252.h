#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Windows-1252, the code page of every text the system holds, and Unicode.

// The character of a byte; nothing for the five bytes the code page leaves undefined.
std::optional<char32_t> cp1252_character(unsigned char byte);

// The byte of a character; nothing for a character the code page does not have.
std::optional<char> cp1252_byte(char32_t character);

// Windows-1252 bytes as UTF-8; an undefined byte becomes U+FFFD.
std::string cp1252_to_utf8(std::string_view bytes);

} // namespace qm
