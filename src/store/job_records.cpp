#include "store/job_records.h"

#include <algorithm>
#include <type_traits>

namespace qm {

static_assert(std::is_trivially_copyable_v<McJobRecord>);
static_assert(std::is_trivially_copyable_v<RhJobRecord>);

JobRecords::JobRecords()
    : mc_(std::make_unique<std::array<McJobRecord, kJobRecordCount>>()),
      rh_(std::make_unique<std::array<RhJobRecord, kJobRecordCount>>()) {
    clear();
}

void JobRecords::clear() {
    // One bulk fill per array; every field is zero in the cleared state.
    std::fill_n(mc_->begin(), mc_touched_, McJobRecord{});
    std::fill_n(rh_->begin(), rh_touched_, RhJobRecord{});
    mc_touched_ = 0;
    rh_touched_ = 0;
}

void JobRecords::seed_after_download() {
    McSlot& slot = mc(0).slots[0];
    slot.marker = 1;
    for (std::int32_t McSlot::*word : {&McSlot::word1, &McSlot::word2, &McSlot::download_sign,
                                       &McSlot::word4, &McSlot::word5, &McSlot::species}) {
        slot.*word = 1;
    }
    slot.value = 1.0;
}

} // namespace qm
