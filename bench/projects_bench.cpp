// The logs of a drying project of 30 visits and 150,000 readings (goal: under 50 ms), beside
// their floor: one pass over the readings that keeps the last reading of each point and day; and
// the same read from an archive, for projects of up to 1,200 visits.
#include "archive/visit_archive.h"
#include "bench/drying_visits.h"
#include "bench/paired.h"
#include "projects/air_log.h"
#include "projects/drying_days.h"
#include "projects/drying_log.h"
#include "projects/project_log.h"
#include "store/lookup_tables.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <stdlib.h>
#include <vector>

namespace {

// The last reading of each point and day, met in one pass: the least any log must do.
std::size_t last_of_each_day(const std::vector<qm::AttachedJob>& jobs) {
    constexpr std::size_t kPoints = 4 * qm::kLocationCount * qm::kSubLocationCount * 16;
    constexpr std::size_t kDays = 64;
    std::vector<const qm::Reading*> last(kPoints * kDays, nullptr);
    std::vector<int> last_minute(kPoints * kDays, -1);
    const std::int64_t first_day = qm::reading_day(jobs.front().readings.front());
    for (const qm::AttachedJob& job : jobs) {
        for (const qm::Reading& r : job.readings) {
            const std::size_t point = ((static_cast<std::size_t>(r.kind & 3) * qm::kLocationCount +
                                        static_cast<std::size_t>(r.location)) *
                                           qm::kSubLocationCount +
                                       static_cast<std::size_t>(r.sub_location)) *
                                          16 +
                                      static_cast<std::size_t>(r.material);
            const auto day = static_cast<std::size_t>(qm::reading_day(r) - first_day) % kDays;
            const std::size_t cell = point * kDays + day;
            const int minute = qm::reading_minute_of_day(r);
            if (minute >= last_minute[cell]) {
                last_minute[cell] = minute;
                last[cell] = &r;
            }
        }
    }
    return static_cast<std::size_t>(
        std::count_if(last.begin(), last.end(), [](const qm::Reading* r) { return r != nullptr; }));
}

void BM_DryingProjectLogs(benchmark::State& state) {
    const auto visits = make_visits();
    std::vector<qm::AttachedJob> jobs;
    for (const auto& v : visits) {
        jobs.push_back({"TRK 200", 118, v});
    }
    const qm::MonitoringPoint reference{qm::PointScale::Pin, 22, 0, "Sheetrock"};
    const qm::MaterialStandard materials[] = {
        {"Sheetrock", qm::PointScale::Pin, {std::nullopt, reference}, 2.0},
        {"Plaster", qm::PointScale::Pin, {11.0, std::nullopt}, 2.0},
        {"SPF", qm::PointScale::Pin, {12.0, std::nullopt}, 2.0},
        {"Oak", qm::PointScale::Scan, {40.0, std::nullopt}, 4.0},
    };
    const qm::AirPointRole roles[] = {{0, qm::AirRole::Affected},
                                      {1, qm::AirRole::DehumidifierOutlet}};
    std::size_t rows = 0;
    qm::bench::run_paired(
        state,
        [&] {
            const qm::DryingLog log = qm::drying_log(jobs, {materials, {}});
            const qm::AirLog air = qm::air_log(jobs, roles, false);
            rows = log.rows.size() + air.rows.size();
            benchmark::DoNotOptimize(rows);
        },
        [&] { benchmark::DoNotOptimize(last_of_each_day(jobs)); });
    if (rows == 0) {
        state.SkipWithError("the log is empty");
    }
}
BENCHMARK(BM_DryingProjectLogs)->Unit(benchmark::kMillisecond)->Iterations(9);

// A project of `visits` kept in an archive: its readings read back from the archive and its logs
// computed (what opening a project does), beside reading the same rows with one statement.
void run_stored_project(benchmark::State& state,
                        const std::vector<std::vector<qm::Reading>>& visits,
                        const std::string& floor_columns) {
    std::string dir = (std::filesystem::temp_directory_path() / "qm-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = dir + "/archive.sqlite";
    qm::OpenedArchive opened = qm::open_archive(path);
    qm::ProjectStore store(*opened.archive);
    // The setup's hundreds of changes as one commit.
    auto filling = std::make_unique<qm::ArchiveTransaction>(*opened.archive);
    const std::int64_t project = store.create({"Bench", "", "", "", {}, {}, {}, ""}).value();
    auto readings = std::make_unique<qm::ReadingStore>();
    readings->mc_jobs[0] = 2;
    readings->rh_jobs[0] = 2;
    readings->mc_job_count = readings->rh_job_count = 1;
    readings->job_ids[1] = 118;
    qm::MeterIdentity meter;
    meter.set_model("TRK 200");
    for (std::size_t v = 0; v < visits.size(); ++v) {
        readings->all_readings = visits[v];
        const std::uint8_t source[] = {static_cast<std::uint8_t>(v),
                                       static_cast<std::uint8_t>(v >> 8)};
        const qm::AddVisitResult added = opened.archive->add_visit(
            source, qm::VisitSource::Download, {static_cast<std::int64_t>(v), 0}, *readings, meter);
        store.attach(project, store.visit_jobs(added.visit_id, std::nullopt));
    }
    store.set_material_standard(project, {"Plaster", qm::PointScale::Pin, {11.0, {}}, 2.0});
    store.set_role(project, 0, qm::AirRole::Affected);
    filling->commit();
    filling.reset();
    // The floor reads on a connection of its own, as sqlite3 would.
    qm::SqliteDb floor;
    floor.open(path, qm::SqliteDb::Mode::ReadOnly);
    std::size_t rows = 0;
    qm::bench::run_paired(
        state,
        [&] {
            qm::ProjectReadings r;
            const qm::Status read = qm::load_project_readings(store, *opened.archive, project, r);
            const qm::Result<qm::ProjectSettings> settings = store.settings(project);
            if (!read || !settings) {
                state.SkipWithError("the project cannot be read");
                return;
            }
            const qm::ProjectLogs logs = qm::project_logs(r, *settings, false);
            rows = logs.drying.rows.size();
            benchmark::DoNotOptimize(rows);
        },
        [&] {
            qm::SqliteStatement all(floor, "SELECT " + floor_columns +
                                               " FROM readings ORDER BY visit_id, seq");
            const int columns =
                static_cast<int>(std::count(floor_columns.begin(), floor_columns.end(), ',')) + 1;
            double sum = 0.0;
            while (all.step()) {
                for (int c = 0; c < columns; ++c) {
                    sum += all.column_double(c);
                }
            }
            benchmark::DoNotOptimize(sum);
        });
    if (rows == 0) {
        state.SkipWithError("the log is empty");
    }
    opened.archive.reset();
    std::filesystem::remove_all(dir);
}

// The drying project of 30 visits and 150,000 readings kept in an archive.
void BM_StoredProjectLogs(benchmark::State& state) {
    run_stored_project(state, make_visits(), "value");
}
BENCHMARK(BM_StoredProjectLogs)->Unit(benchmark::kMillisecond)->Iterations(5);

// How the stored project's logs grow with its visits: 300 or 1,200 visits of 500 readings (each
// holding 50 of the visit before), each on a day of its own or all read on one day at one minute
// (one day: many readings share their point, day and minute). Its floor reads the columns the log
// reads of the same rows. Goals: 1,200 visits within 5 x the time of 300, and within 3 x of
// reading the rows.
void BM_StoredProjectLogGrowth(benchmark::State& state) {
    run_stored_project(state,
                       make_visits(static_cast<int>(state.range(0)), 500, 50, state.range(1) != 0),
                       "job, kind, location, sub_location, material, value, temperature, year, "
                       "month, day, hour_code, minute");
}
BENCHMARK(BM_StoredProjectLogGrowth)
    ->Args({300, 0})
    ->Args({1200, 0})
    ->Args({300, 1})
    ->Args({1200, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace
