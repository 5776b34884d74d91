#include "text/text_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace qm {
namespace {

std::string printf_text(const char* format, auto... args) {
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string fixed(double value, int precision) {
    std::string out = "x"; // appends, never replaces
    append_fixed(out, value, precision);
    return out.substr(1);
}

// "%.1f" as the CSV export writes it: write_tenths where it takes the value, else append_fixed.
std::string tenths(double value) {
    char text[kTenthsRoom];
    if (const char* end = write_tenths(text, value); end != nullptr) {
        return std::string(text, static_cast<std::size_t>(end - text));
    }
    return fixed(value, 1);
}

// Values where a faster formatter typically parts from printf: exact binary halves (which
// round to even), decimal halves that are not exact in binary, negatives rounding to zero,
// signed zero, large magnitudes, NaN and infinities.
std::vector<double> awkward_values() {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> v = {0.0,
                             -0.0,
                             0.05,
                             0.15,
                             0.25,
                             0.35,
                             0.45,
                             -0.05,
                             -0.04,
                             -0.25,
                             0.125,
                             0.375,
                             -0.125,
                             0.005,
                             0.015,
                             1.005,
                             2.675,
                             2.5,
                             3.5,
                             -2.5,
                             0.5,
                             1.5,
                             9.95,
                             99.95,
                             999.995,
                             12.3,
                             111.0 * 0.1,
                             1110 * 0.1,
                             1e15 + 0.5,
                             1e17,
                             1e22,
                             1e39,
                             1e300,
                             -1e300,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::lowest(),
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::epsilon(),
                             inf,
                             -inf,
                             std::nan(""),
                             -std::nan(""),
                             9999999.95,
                             std::nextafter(1e7, 0.0),
                             1e7,
                             std::nextafter(0.25, 0.0),
                             std::nextafter(0.25, 1.0),
                             std::nextafter(-0.05, 0.0)};
    for (int i = -5000; i <= 5000; ++i) {
        v.push_back(i * 0.1);   // the decoder's tenths
        v.push_back(i * 0.005); // halves at the second decimal
        v.push_back(i / 8.0);   // exact binary halves and quarters
    }
    return v;
}

TEST(TextFormat, FixedMatchesPrintfOnAwkwardValues) {
    for (const double value : awkward_values()) {
        for (const int precision : {0, 1, 2, 3, 17}) {
            ASSERT_EQ(fixed(value, precision), printf_text("%.*f", precision, value))
                << "value " << printf_text("%.17g", value) << " precision " << precision;
        }
        ASSERT_EQ(tenths(value), printf_text("%.1f", value)) << printf_text("%.17g", value);
    }
}

TEST(TextFormat, FixedMatchesPrintfOnRandomValues) {
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> small(-200.0, 200.0);
    std::uniform_int_distribution<int> exponent(-30, 320);
    std::uniform_int_distribution<std::uint64_t> bits;
    for (int i = 0; i < 20'000; ++i) {
        const double values[] = {small(random), std::ldexp(small(random), exponent(random) - 20),
                                 std::bit_cast<double>(bits(random))};
        for (const double value : values) {
            ASSERT_EQ(fixed(value, 1), printf_text("%.1f", value)) << printf_text("%.17g", value);
            ASSERT_EQ(tenths(value), printf_text("%.1f", value)) << printf_text("%.17g", value);
            ASSERT_EQ(fixed(value, 2), printf_text("%.2f", value)) << printf_text("%.17g", value);
        }
    }
}

TEST(TextFormat, FixedIntoBufferCutsAndCountsLikeSnprintf) {
    const double values[] = {12.345, -1234567.891, 1e39, std::nan(""), -0.0, 1e300};
    for (const double value : values) {
        for (const std::size_t size : {0u, 1u, 3u, 5u, 12u, 64u}) {
            char mine[64];
            char theirs[64];
            std::memset(mine, '#', sizeof mine);
            std::memset(theirs, '#', sizeof theirs);
            const int n_mine = format_fixed(mine, size, value, 2);
            const int n_theirs = std::snprintf(theirs, size, "%.*f", 2, value);
            EXPECT_EQ(n_mine, n_theirs);
            EXPECT_EQ(std::string(mine, sizeof mine), std::string(theirs, sizeof theirs))
                << "value " << value << " size " << size;
        }
    }
}

TEST(TextFormat, IntegersMatchPrintf) {
    const long long wide[] = {0,
                              1,
                              -1,
                              9,
                              10,
                              -10,
                              99,
                              100,
                              2147483647,
                              -2147483648,
                              1LL << 40,
                              std::numeric_limits<long long>::max(),
                              std::numeric_limits<long long>::min()};
    for (const long long value : wide) {
        std::string out;
        append_int(out, value);
        EXPECT_EQ(out, printf_text("%lli", value));
    }
    for (int value = -1000; value <= 1000; ++value) {
        std::string a;
        std::string b;
        append_int(a, value);
        append_int2(b, value);
        ASSERT_EQ(a, printf_text("%i", value));
        ASSERT_EQ(b, printf_text("%.2i", value));
    }
    for (const int value : {std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        std::string b;
        append_int2(b, value);
        EXPECT_EQ(b, printf_text("%.2i", value));
    }
}

} // namespace
} // namespace qm
