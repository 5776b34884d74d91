#include "projects/code_legend.h"

#include "store/lookup_tables.h"

#include <array>
#include <utility>

namespace qm {

namespace {

// Named areas with a number after them share a name: "BR2" is "bedroom 2".
constexpr std::array<std::pair<std::string_view, std::string_view>, 15> kAreaNames = {{
    {"LR", "living room"},
    {"DR", "dining room"},
    {"KIT", "kitchen"},
    {"E", "entry"},
    {"RE", "rear entry"},
    {"BATH", "bathroom"},
    {"BR", "bedroom"},
    {"HL", "hall"},
    {"DEN", "den"},
    {"FR", "family room"},
    {"LAU", "laundry"},
    {"CLT", "closet"},
    {"GAR", "garage"},
    {"STR", "storage"},
    {"MISC", "miscellaneous"},
}};

constexpr std::array<std::string_view, kSubLocationCount> kSubLocationNames = {"floor", "wall",
                                                                               "ceiling"};

// The name of a location code: its area's name, and its number when it has one; a numbered
// location is "location N".
std::string area_name(std::string_view code) {
    const std::size_t digits = code.find_first_of("0123456789");
    const std::string_view stem = code.substr(0, digits);
    const std::string_view number = digits == std::string_view::npos ? "" : code.substr(digits);
    if (stem.empty()) {
        return "location " + std::string(number);
    }
    for (const auto& [area, name] : kAreaNames) {
        if (area == stem) {
            return number.empty() ? std::string(name)
                                  : std::string(name) + " " + std::string(number);
        }
    }
    return std::string(code);
}

} // namespace

CodeLegend default_code_legend() {
    CodeLegend legend;
    for (int location = 0; location < kLocationCount; ++location) {
        const std::string_view code = location_name(location);
        legend.emplace(code, area_name(code));
    }
    for (int sub = 0; sub < kSubLocationCount; ++sub) {
        legend.emplace(sub_location_name(sub), kSubLocationNames[static_cast<std::size_t>(sub)]);
    }
    return legend;
}

std::string legend_name(const CodeLegend& legend, std::string_view code) {
    const auto it = legend.find(code);
    return it == legend.end() || it->second.empty() ? std::string(code) : it->second;
}

} // namespace qm
