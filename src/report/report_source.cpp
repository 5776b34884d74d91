#include "report/report_source.h"

#include "store/job_index.h"

#include <optional>
#include <utility>

namespace qm {

std::vector<Reading> report_job_readings(ReadingStore& store, RecordKind kind, std::int32_t job) {
    // fill_working_set orders the readings; the store's own working set and cursor are put back.
    std::vector<Reading> kept;
    kept.swap(store.working_set);
    const std::size_t cursor = store.cursor;
    if (kind == RecordKind::Rh) {
        fill_working_set(store, job, kModeRhJob);
    } else if (const int position = position_in_list(store.mc_jobs, store.mc_job_count, job);
               position >= 0) {
        fill_working_set(store, position, kModeMcPosition);
    }
    std::vector<Reading> readings;
    readings.swap(store.working_set);
    store.working_set.swap(kept);
    store.cursor = cursor;
    return readings;
}

ReportJob report_job_from_store(ReadingStore& store, const MeterIdentity& meter, RecordKind kind,
                                std::int32_t job) {
    ReportJob r;
    r.kind = kind;
    r.job = job;
    r.job_id = job >= 1 && job <= kMaxJobs ? store.job_ids[static_cast<std::size_t>(job - 1)] : 0;
    r.model = std::string(meter.model());
    r.title = store.annotations.title(kind, job);
    r.notes = store.annotations.notes(kind, job);
    r.materials = meter.active_materials;
    r.readings = report_job_readings(store, kind, job);
    order_by_clock(r.readings);
    return r;
}

std::vector<ReportJob> report_jobs_at_positions(ReadingStore& store, const MeterIdentity& meter,
                                                std::int32_t management_type,
                                                std::span<const int> positions) {
    std::vector<ReportJob> jobs;
    const std::optional<RecordKind> kind = record_kind(management_type);
    if (!kind) {
        return jobs;
    }
    const bool mc = *kind == RecordKind::Mc;
    const std::int32_t count = mc ? store.mc_job_count : store.rh_job_count;
    for (const int position : positions) {
        if (position >= 0 && position < count && position < kMaxJobs) {
            const auto& list = mc ? store.mc_jobs : store.rh_jobs;
            jobs.push_back(report_job_from_store(store, meter, *kind,
                                                 list[static_cast<std::size_t>(position)]));
        }
    }
    return jobs;
}

} // namespace qm
