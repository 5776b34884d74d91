#pragma once

// The part of "qmtool project map" that needs Qt: a day's map as a PNG image. A qmtool built
// without the desktop program has a stand-in that says PNG is not available.

#include "plans/plan_map.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qmtool {

// Whether this qmtool can write PNG maps.
bool map_png_available();

// The map painted at `dpi` as PNG bytes, the underlay's image (PNG or JPEG bytes) under it;
// empty when it cannot be made.
std::vector<std::uint8_t> map_png(const qm::MapScene& scene, std::span<const std::uint8_t> underlay,
                                  int dpi);

} // namespace qmtool
