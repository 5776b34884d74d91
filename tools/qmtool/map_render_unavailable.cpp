// The stand-in of a qmtool built without Qt (QM_BUILD_UI=OFF): maps are written as SVG only.
#include "tools/qmtool/map_render.h"

namespace qmtool {

bool map_png_available() {
    return false;
}

std::vector<std::uint8_t> map_png(const qm::MapScene& /*scene*/,
                                  std::span<const std::uint8_t> /*underlay*/, int /*dpi*/) {
    return {};
}

} // namespace qmtool
