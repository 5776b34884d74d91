#include "report/report_source.h"

#include "store/job_index.h"

#include <optional>

namespace qm {

std::vector<Reading> report_job_readings(const ReadingStore& store, RecordKind kind,
                                         std::int32_t job) {
    return readings_in_time_order(store, job,
                                  kind == RecordKind::Rh ? KindFilter::Rh : KindFilter::Mc);
}

ReportJob report_job_from_store(const ReadingStore& store, const MeterIdentity& meter,
                                RecordKind kind, std::int32_t job) {
    ReportJob r;
    r.kind = kind;
    r.job = job;
    r.job_id = job_id_of(store, job);
    r.model = std::string(meter.model());
    r.title = store.annotations.title(kind, job);
    r.notes = store.annotations.notes(kind, job);
    r.materials = meter.active_materials;
    r.readings = report_job_readings(store, kind, job);
    order_by_clock(r.readings);
    return r;
}

std::vector<ReportJob> report_jobs_at_positions(const ReadingStore& store,
                                                const MeterIdentity& meter, ManagedKind managed,
                                                std::span<const int> positions) {
    std::vector<ReportJob> jobs;
    const std::optional<RecordKind> kind = record_kind(managed);
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
