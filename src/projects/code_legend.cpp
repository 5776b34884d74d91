#include "projects/code_legend.h"

#include "store/code_legend.h"
#include "store/lookup_tables.h"

#include <cctype>

namespace qm {

namespace {

// The shared names start with a capital ("Kitchen"); a legend line reads "KIT kitchen".
std::string lower_first(std::string name) {
    if (name.size() > 1 && std::islower(static_cast<unsigned char>(name[1])) != 0) {
        name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    }
    return name;
}

} // namespace

CodeLegend default_code_legend() {
    CodeLegend legend;
    const CodeNames& names = default_code_names();
    for (int location = 0; location < kLocationCount; ++location) {
        const std::string code(location_name(location));
        legend.emplace(code, location < kNamedAreas
                                 ? lower_first(names.areas[static_cast<std::size_t>(location)])
                                 : "location " + code);
    }
    for (int sub = 0; sub < kSubLocationCount; ++sub) {
        legend.emplace(sub_location_name(sub),
                       lower_first(names.sub_locations[static_cast<std::size_t>(sub)]));
    }
    return legend;
}

std::string legend_name(const CodeLegend& legend, std::string_view code) {
    const auto it = legend.find(code);
    return it == legend.end() || it->second.empty() ? std::string(code) : it->second;
}

} // namespace qm
