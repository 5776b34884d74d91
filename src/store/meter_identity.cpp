#include "store/meter_identity.h"

#include <algorithm>
#include <cstring>

namespace qm {

std::string_view MeterIdentity::model() const {
    return {model_name, strnlen(model_name, kModelNameSize - 1)};
}

void MeterIdentity::set_model(std::string_view text) {
    std::memset(model_name, 0, kModelNameSize);
    const std::size_t n = std::min(text.size(), kModelNameSize - 1);
    if (n > 0) {
        std::memcpy(model_name, text.data(), n);
    }
}

std::int32_t compare_with_scanner_model(std::string_view model) {
    // char_traits<char> compares as unsigned char, as memcmp does.
    const int order = model.compare(kScannerModel);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

void MeterIdentity::apply_model_rules() {
    not_scanner = compare_with_scanner_model(model());
    active_materials = model() == kSecondListModel ? kSecondMaterials : kFirstMaterials;
}

} // namespace qm
