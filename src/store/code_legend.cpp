#include "store/code_legend.h"

#include <array>
#include <cctype>
#include <string_view>

namespace qm {

namespace {

constexpr std::array<std::string_view, kNamedAreas> kAreaNames = {
    "Living room", "Dining room", "Kitchen",   "Entry",     "Rear entry", "Bathroom 1",
    "Bathroom 2",  "Bathroom 3",  "Bedroom 1", "Bedroom 2", "Bedroom 3",  "Bedroom 4",
    "Bedroom 5",   "Hall 1",      "Hall 2",    "Hall 3",    "Den",        "Family room",
    "Laundry",     "Closet 1",    "Closet 2",  "Closet 3",  "Closet 4",   "Garage",
    "Stairs 1",    "Stairs 2",    "Misc. 1",   "Misc. 2",   "Misc. 3",    "Misc. 4",
    "Misc. 5",     "Misc. 6"};

constexpr std::array<std::string_view, kSubLocationCount> kSubLocationNames = {"Floor", "Wall",
                                                                               "Ceiling"};

CodeNames make_defaults() {
    CodeNames names;
    for (std::size_t i = 0; i < kAreaNames.size(); ++i) {
        names.areas[i] = kAreaNames[i];
    }
    for (std::size_t i = 0; i < kSubLocationNames.size(); ++i) {
        names.sub_locations[i] = kSubLocationNames[i];
    }
    return names;
}

// "LR living room": the name starts in lower case after its code, unless it is all capitals.
void add_entry(std::string& out, std::string_view code, std::string name) {
    if (name.empty()) {
        return;
    }
    if (name.size() > 1 && std::islower(static_cast<unsigned char>(name[1])) != 0) {
        name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    }
    if (!out.empty()) {
        out += ", ";
    }
    out += code;
    out += ' ';
    out += name;
}

} // namespace

const CodeNames& default_code_names() {
    static const CodeNames names = make_defaults();
    return names;
}

std::string codes_legend(std::span<const Reading> readings, const CodeNames& names) {
    std::array<bool, kNamedAreas> area_used{};
    std::array<bool, kSubLocationCount> sub_used{};
    for (const Reading& r : readings) {
        if (r.location >= 0 && r.location < kNamedAreas) {
            area_used[static_cast<std::size_t>(r.location)] = true;
        }
        if (!is_rh(r) && r.sub_location >= 0 && r.sub_location < kSubLocationCount) {
            sub_used[static_cast<std::size_t>(r.sub_location)] = true;
        }
    }
    std::string areas;
    for (int i = 0; i < kNamedAreas; ++i) {
        if (area_used[static_cast<std::size_t>(i)]) {
            add_entry(areas, location_name(i), names.areas[static_cast<std::size_t>(i)]);
        }
    }
    std::string subs;
    for (int i = 0; i < kSubLocationCount; ++i) {
        if (sub_used[static_cast<std::size_t>(i)]) {
            add_entry(subs, sub_location_name(i), names.sub_locations[static_cast<std::size_t>(i)]);
        }
    }
    return areas.empty() || subs.empty() ? areas + subs : areas + "; " + subs;
}

} // namespace qm
