#include "summaries/notes_wrap.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

// Every character 10 pixels wide.
const TextMeasure kFixed = [](std::string_view text) { return static_cast<int>(text.size()) * 10; };

using Lines = std::vector<std::string>;

TEST(WrapNotes, BreaksAtLineBreaksAndBetweenWords) {
    EXPECT_EQ(wrap_notes("", 100, kFixed), Lines{});
    EXPECT_EQ(wrap_notes("Wet drywall", 200, kFixed), Lines{"Wet drywall"});
    // Two lines as typed, in any line-break convention; an empty line stays.
    EXPECT_EQ(wrap_notes("North wall\r\nbehind sink", 200, kFixed),
              (Lines{"North wall", "behind sink"}));
    EXPECT_EQ(wrap_notes("a\nb\rc\n\nd", 200, kFixed), (Lines{"a", "b", "c", "", "d"}));
    // 100 pixels hold ten characters: whole words only.
    EXPECT_EQ(wrap_notes("check the north wall again", 100, kFixed),
              (Lines{"check the", "north wall", "again"}));
}

TEST(WrapNotes, SplitsAWordWiderThanTheBoxWithoutLosingText) {
    EXPECT_EQ(wrap_notes("ab 1234567890123 cd", 50, kFixed),
              (Lines{"ab", "12345", "67890", "123", "cd"}));
    // A box narrower than one character still shows every character.
    EXPECT_EQ(wrap_notes("xyz", 5, kFixed), (Lines{"x", "y", "z"}));
}

} // namespace
} // namespace qm
