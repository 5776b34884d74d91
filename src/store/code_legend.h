#pragma once

// Plain names for the short codes that readings carry for their place: the named areas ("LR",
// "HL1", "LAU", ...) and the sub-locations ("F", "W", "C"). A report lists those it uses. The
// names are data, one table, so that a project can name its rooms its own way.

#include "store/lookup_tables.h"
#include "store/reading.h"

#include <array>
#include <span>
#include <string>

namespace qm {

// Locations 0 .. kNamedAreas - 1 are named areas; the others are numbered and need no legend.
constexpr int kNamedAreas = 32;

struct CodeNames {
    std::array<std::string, kNamedAreas> areas;               // "Living room", ...
    std::array<std::string, kSubLocationCount> sub_locations; // "Floor", "Wall", "Ceiling"
};

// The names the program ships with.
const CodeNames& default_code_names();

// The codes the readings use, each once, with their names: the areas in table order, then the
// sub-locations of the moisture readings: "LR living room, KIT kitchen; F floor, W wall".
// Empty when the readings use no code that has a name.
std::string codes_legend(std::span<const Reading> readings, const CodeNames& names);

} // namespace qm
