#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace qm {

constexpr int kJobRecordCount = 128;
constexpr int kSlotsPerJob = 1600;

// One slot of an MC job record: a marker, an ID value, six words of which the third is the
// download sign the wizard reads and the sixth a species index, and a value.
struct McSlot {
    std::int32_t marker = 0;
    double id_value = 0.0; // the ID a scanner's headings show, when nonzero
    std::int32_t word1 = 0;
    std::int32_t word2 = 0;
    std::int32_t download_sign = 0; // nonzero after a download with readings
    std::int32_t word4 = 0;
    std::int32_t word5 = 0;
    std::int32_t species = 0; // index into the species table
    double value = 0.0;
};

struct RhSlot {
    double value = 0.0;
};

// Per-job slots, indexed by a job's position in mc_jobs / rh_jobs. A job's title and notes stay
// with its job number instead (JobAnnotations of the ReadingStore), since positions change when
// the job lists are rebuilt.
struct McJobRecord {
    std::array<McSlot, kSlotsPerJob> slots;
};

struct RhJobRecord {
    std::array<RhSlot, kSlotsPerJob> slots;
};

// The two fixed arrays of job records: allocated once, cleared with one bulk fill each.
class JobRecords {
public:
    JobRecords();
    void clear();

    McJobRecord& mc(int index) {
        touch(mc_touched_, index);
        return (*mc_)[static_cast<std::size_t>(index)];
    }
    const McJobRecord& mc(int index) const { return (*mc_)[static_cast<std::size_t>(index)]; }
    RhJobRecord& rh(int index) {
        touch(rh_touched_, index);
        return (*rh_)[static_cast<std::size_t>(index)];
    }
    const RhJobRecord& rh(int index) const { return (*rh_)[static_cast<std::size_t>(index)]; }

    // The first slot of the first MC record marked the way a download with readings marks it.
    void seed_after_download();

private:
    static void touch(int& touched, int index) {
        if (index >= touched) {
            touched = index + 1;
        }
    }

    // Records are only ever changed through the accessors above, so a clear only has to fill the
    // records up to the highest one handed out since the last clear (11 MB in all otherwise).
    int mc_touched_ = kJobRecordCount;
    int rh_touched_ = kJobRecordCount;
    std::unique_ptr<std::array<McJobRecord, kJobRecordCount>> mc_;
    std::unique_ptr<std::array<RhJobRecord, kJobRecordCount>> rh_;
};

} // namespace qm
