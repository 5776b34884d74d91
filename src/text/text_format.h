#pragma once

// Number texts for the hot paths (CSV lines, psychrometric texts, reading dates and times).
// Each gives exactly the text snprintf gives for the printf format named beside it, without
// going through the printf machinery.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// "%i" (also right for any long long with "%lli").
void append_int(std::string& out, long long value);

// "%.2i": at least two digits, zero-padded, sign before the padding.
void append_int2(std::string& out, int value);

// "%.*f" with the given precision (0..17), rounded exactly like printf: to nearest, halves of
// the exact binary value to even. NaN and infinities give printf's own texts.
void append_fixed(std::string& out, double value, int precision);

// Room write_tenths needs: a sign, seven digits, the point and one decimal.
constexpr std::size_t kTenthsRoom = 12;

// "%.1f" of a value below 1e7 in magnitude, written at `at` (kTenthsRoom bytes of room) by integer
// arithmetic; returns the end of the text. Returns nullptr, having written nothing, for a value it
// leaves to append_fixed: NaN, infinities, 1e7 and more, and values within 1e-7 of a rounding
// midpoint, whose side only the exact binary value decides.
char* write_tenths(char* at, double value);

// snprintf(buffer, size, "%.*f", precision, value): cut to fit and always terminated when
// size > 0. Returns the length of the whole text, as snprintf does.
int format_fixed(char* buffer, std::size_t size, double value, int precision);

// Whether a byte is a control character of Windows-1252 (below 0x20, and 0x7F).
constexpr bool is_control_byte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
}

// The shortest text that reads back as the same double ("11", "12.9"): how a project's numbers
// are written in files, on the team server and by qmtool.
std::string number_text(double value);

// The text with each control byte that `keep` does not name written as "\x1b", so that a text
// from a file or a device cannot drive the terminal it is shown on.
std::string escape_control_bytes(std::string_view text, std::string_view keep = {});

// A whole number from low to high written as the whole text ("42", "-7"); nothing otherwise.
std::optional<std::int64_t> parse_integer(std::string_view text, std::int64_t low,
                                          std::int64_t high);

// A finite number written as the whole text ("2", "-0.5", "1e3"); nothing otherwise.
std::optional<double> parse_real(std::string_view text);

} // namespace qm
