#include "tools/qmtool/text_codec.h"

#include "text/cp1252.h"
#include "text/text_format.h"

#include <cstdio>

namespace qmtool {

namespace {

// The next code point of a UTF-8 text, advancing `at`; nothing for a malformed sequence.
std::optional<char32_t> next_code_point(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80) {
        return lead;
    }
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || text.size() - at < static_cast<std::size_t>(extra)) {
        return std::nullopt;
    }
    char32_t cp = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        const auto b = static_cast<unsigned char>(text[at++]);
        if ((b & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    return cp;
}

} // namespace

std::string to_utf8(std::string_view text) {
    return qm::cp1252_to_utf8(text);
}

std::string shown(std::string_view cp1252, std::string_view keep) {
    return to_utf8(qm::escape_control_bytes(cp1252, keep));
}

namespace {

// Whether the bytes at `at` are a C1 control character in UTF-8 (0xC2 0x80 to 0xC2 0x9F).
bool is_c1_control(std::string_view utf8, std::size_t at) {
    return at + 1 < utf8.size() && static_cast<unsigned char>(utf8[at]) == 0xC2 &&
           static_cast<unsigned char>(utf8[at + 1]) >= 0x80 &&
           static_cast<unsigned char>(utf8[at + 1]) <= 0x9F;
}

} // namespace

std::string shown_utf8(std::string_view utf8, std::string_view keep) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        if (is_c1_control(utf8, at)) {
            out += qm::escape_control_bytes(utf8.substr(from, at - from), keep);
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\xc2\\x%02x",
                          static_cast<unsigned char>(utf8[at + 1]));
            out += escaped;
            from = ++at + 1;
        }
    }
    return out + qm::escape_control_bytes(utf8.substr(from), keep);
}

std::string json_string(std::string_view utf8) {
    std::string out = "\"";
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const auto b = static_cast<unsigned char>(utf8[at]);
        const bool c1 = is_c1_control(utf8, at);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += utf8[at];
        } else if (qm::is_control_byte(utf8[at]) || c1) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x",
                          c1 ? static_cast<unsigned char>(utf8[++at]) : b);
            out += escaped;
        } else {
            out += utf8[at];
        }
    }
    return out + "\"";
}

std::optional<std::string> from_utf8(std::string_view utf8) {
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::optional<char32_t> cp = next_code_point(utf8, at);
        const std::optional<char> byte = cp ? qm::cp1252_byte(*cp) : std::nullopt;
        if (!byte) {
            return std::nullopt;
        }
        out += *byte;
    }
    return out;
}

} // namespace qmtool
