#pragma once

// The legend of a project's location and sub-location codes: the names the codes stand for.

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace qm {

// Code ("KIT", "W") to name ("kitchen", "wall"); the user edits it per project.
using CodeLegend = std::map<std::string, std::string, std::less<>>;

// A name for every location code (LR living room, ..., 1..32 location 1..32) and sub-location code
// (F floor, W wall, C ceiling).
CodeLegend default_code_legend();

// The name of a code in a legend; the code itself where the legend has none or an empty one.
std::string legend_name(const CodeLegend& legend, std::string_view code);

} // namespace qm
