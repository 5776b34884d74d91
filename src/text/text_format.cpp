#include "text/text_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace qm {

namespace {

// Long enough for any long long and for "%.17f" of any double below 1e40; larger values take
// the snprintf path.
constexpr std::size_t kScratchSize = 64;

// "%.1f" (decimals 1) or "%.2f" (decimals 2) of a value below 1e7 in magnitude by integer
// arithmetic, or nullptr for a value it leaves to the exact path (see write_tenths).
char* write_decimals(char* at, double value, int decimals) {
    const double magnitude = std::fabs(value);
    if (!(magnitude < 1e7)) {
        return nullptr;
    }
    // Below 1e9 the product is within 1e-7 of the exact scaled value, so a fraction further than
    // 1e-6 from one half rounds to the same side as the exact value does.
    const std::uint32_t scale = decimals == 1 ? 10U : 100U;
    const double scaled = magnitude * scale;
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < 1e-6) {
        return nullptr;
    }
    const auto units = static_cast<std::uint32_t>(whole) + (fraction > 0.5 ? 1U : 0U);
    if (std::signbit(value)) {
        *at++ = '-'; // printf keeps the sign of a negative value that rounds to zero
    }
    if (const std::uint32_t whole_part = units / scale; whole_part < 100) {
        if (whole_part >= 10) {
            *at++ = static_cast<char>('0' + whole_part / 10);
        }
        *at++ = static_cast<char>('0' + whole_part % 10);
    } else {
        at = std::to_chars(at, at + kTenthsRoom - 4, whole_part).ptr;
    }
    *at++ = '.';
    const std::uint32_t part = units % scale;
    if (decimals == 2) {
        *at++ = static_cast<char>('0' + part / 10);
    }
    *at++ = static_cast<char>('0' + part % 10);
    return at;
}

// Writes the "%.*f" text of value into scratch; returns its length. One and two decimals are
// written by integer arithmetic where that is exact (write_decimals); other finite values go
// through std::to_chars, which rounds exactly as printf does; anything it cannot place falls back
// to snprintf so that the text is always printf's.
std::size_t fixed_text(char (&scratch)[kScratchSize], double value, int precision) {
    if (precision == 1 || precision == 2) {
        if (const char* end = write_decimals(scratch, value, precision)) {
            return static_cast<std::size_t>(end - scratch);
        }
    }
    if (std::isfinite(value) && precision >= 0 && precision <= 17) {
        const std::to_chars_result r = std::to_chars(scratch, scratch + kScratchSize, value,
                                                     std::chars_format::fixed, precision);
        if (r.ec == std::errc{}) {
            return static_cast<std::size_t>(r.ptr - scratch);
        }
    }
    return 0;
}

} // namespace

void append_int(std::string& out, long long value) {
    char scratch[kScratchSize];
    const std::to_chars_result r = std::to_chars(scratch, scratch + kScratchSize, value);
    out.append(scratch, r.ptr);
}

void append_int2(std::string& out, int value) {
    if (value >= 0 && value < 10) {
        out += '0';
        out += static_cast<char>('0' + value);
        return;
    }
    if (value > -10 && value < 0) {
        out += "-0";
        out += static_cast<char>('0' - value);
        return;
    }
    append_int(out, value);
}

void append_fixed(std::string& out, double value, int precision) {
    char scratch[kScratchSize];
    if (const std::size_t n = fixed_text(scratch, value, precision); n != 0) {
        out.append(scratch, n);
        return;
    }
    const int n = std::snprintf(nullptr, 0, "%.*f", precision, value);
    if (n <= 0) {
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n) + 1);
    std::snprintf(out.data() + at, static_cast<std::size_t>(n) + 1, "%.*f", precision, value);
    out.resize(at + static_cast<std::size_t>(n));
}

char* write_tenths(char* at, double value) {
    return write_decimals(at, value, 1);
}

int format_fixed(char* buffer, std::size_t size, double value, int precision) {
    char scratch[kScratchSize];
    const std::size_t n = fixed_text(scratch, value, precision);
    if (n == 0) {
        return std::snprintf(buffer, size, "%.*f", precision, value);
    }
    if (size > 0) {
        const std::size_t copied = n < size ? n : size - 1;
        std::memcpy(buffer, scratch, copied);
        buffer[copied] = '\0';
    }
    return static_cast<int>(n);
}

std::string number_text(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return {text, end};
}

std::string escape_control_bytes(std::string_view text, std::string_view keep) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (is_control_byte(c) && keep.find(c) == std::string_view::npos) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::int64_t> parse_integer(std::string_view text, std::int64_t low,
                                          std::int64_t high) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> parse_real(std::string_view text) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace qm
