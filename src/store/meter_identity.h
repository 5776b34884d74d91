#pragma once

#include "store/lookup_tables.h"

#include <cstdint>
#include <string_view>

namespace qm {

constexpr std::size_t kModelNameSize = 20;

// Who the data came from: the meter's model text, whether it is the scanner model, and the
// material list its readings index.
struct MeterIdentity {
    char model_name[kModelNameSize] = "No Title";
    // 0 for the scanner model, otherwise the sign of the name's byte comparison with it (-1, 1).
    std::int32_t not_scanner = 1;
    MaterialList active_materials = kFirstMaterials;

    std::string_view model() const;
    void set_model(std::string_view text); // cut to 19 bytes, rest of the buffer zeroed
    // The material list and scanner flag that belong to the current model name.
    void apply_model_rules();
};

constexpr std::string_view kScannerModel = "VKM2 SCAN";
constexpr std::string_view kSecondListModel = "TRK ALFA";
constexpr std::string_view kNoTitle = "No Title";

// The sign (-1, 0, 1) of comparing a model name with "VKM2 SCAN" byte by byte as unsigned values;
// a name that is a shorter prefix counts as smaller.
std::int32_t compare_with_scanner_model(std::string_view model);

} // namespace qm
