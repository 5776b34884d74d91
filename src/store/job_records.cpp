#include "store/job_records.h"

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
    mc_->fill(McJobRecord{});
    rh_->fill(RhJobRecord{});
}

void JobRecords::seed_after_download() {
    McSlot& slot = mc(0).slots[0];
    slot.marker = 1;
    slot.words.fill(1);
    slot.value = 1.0;
}

} // namespace qm
