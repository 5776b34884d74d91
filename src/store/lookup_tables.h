#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace qm {

// Constant name tables. Readings store small codes; these give the texts shown, printed and
// exported. Every lookup is bounds-checked: a code outside a table gives the fallback text.

constexpr std::size_t kMaterialNameSize = 20;
constexpr int kMaterialCount = 16;
using MaterialName = std::array<char, kMaterialNameSize>;
using MaterialList = std::array<MaterialName, kMaterialCount>;

extern const MaterialList kFirstMaterials;  // "Sheetrock", ...
extern const MaterialList kSecondMaterials; // "Plaster Board", ... (model "TRK ALFA")

constexpr int kLocationCount = 64;
constexpr int kSubLocationCount = 3;
constexpr int kSpeciesSlots = 255;
constexpr int kSpeciesFilled = 218;

// Text shown for a code that no table row covers (only malformed data has one).
constexpr std::string_view kUnknownText = "?";

std::string_view location_name(int location);         // "LR" .. "MISC6", "1" .. "32"
std::string_view sub_location_name(int sub_location); // "F", "W", "C"
std::string_view type_label(int kind);                // "PIN", "RH", "PIN", "SCAN"
std::string_view material_name(const MaterialList& list, int material);
std::string_view species_name(int species); // rows 218..254 are empty

} // namespace qm
