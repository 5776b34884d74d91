#include "text/cp1252.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(Cp1252, EveryDefinedByteComesBackAndTheUndefinedHaveNoCharacter) {
    int undefined = 0;
    for (int b = 0; b < 256; ++b) {
        const auto c = cp1252_character(static_cast<unsigned char>(b));
        if (!c) {
            ++undefined;
            continue;
        }
        EXPECT_EQ(cp1252_byte(*c), static_cast<char>(b)) << b;
    }
    EXPECT_EQ(undefined, 5);
    EXPECT_EQ(cp1252_character(0x80), U'\u20AC');
    EXPECT_EQ(cp1252_character(0xB0), U'\u00B0'); // the degree sign
    EXPECT_EQ(cp1252_byte(U'\u2013'), '\x96');
    EXPECT_FALSE(cp1252_byte(0x81)); // a control character the code page does not hold
    EXPECT_FALSE(cp1252_byte(U'\u0100'));
    // One, two and three UTF-8 bytes; an undefined byte is the replacement character.
    EXPECT_EQ(cp1252_to_utf8("K\xFC"
                             "che \x80\x81\r"),
              "K\u00FCche \u20AC\uFFFD\r");
}

} // namespace
} // namespace qm
