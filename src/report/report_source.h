#pragma once

// Where the report takes its jobs from: the store of the running program or of a loaded file.

#include "report/report_content.h"
#include "store/meter_identity.h"
#include "store/reading_store.h"
#include "store/session_state.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qm {

// The job's readings of one kind in time order, as the views take them (readings the tables
// cannot name are left out).
std::vector<Reading> report_job_readings(const ReadingStore& store, RecordKind kind,
                                         std::int32_t job);

// A job of the store for a report: its readings (report_job_readings, put in clock order), ID,
// title and notes, and the meter's model and materials.
ReportJob report_job_from_store(const ReadingStore& store, const MeterIdentity& meter,
                                RecordKind kind, std::int32_t job);

// The jobs at the given positions of the managed kind's job list, in the order given; positions
// past the list and both kinds give none.
std::vector<ReportJob> report_jobs_at_positions(const ReadingStore& store,
                                                const MeterIdentity& meter, ManagedKind managed,
                                                std::span<const int> positions);

} // namespace qm
