// A readings-view repaint: the row texts of the last sixteen rows of a 100,000-reading job
// (goal: at most 2 ms), and a check that compute_psychrometrics never allocates.
#include "analysis/psychrometrics.h"
#include "analysis/reading_rows.h"
#include "bench/allocation_counter.h"
#include "bench/bench_data.h"
#include "bench/paired.h"
#include "store/job_index.h"

#include <benchmark/benchmark.h>

namespace {

constexpr std::size_t kJobReadings = 100'000;

qm::ReadingStore make_store(std::int32_t kind_of_all) {
    qm::ReadingStore store;
    store.all_readings = qm::bench::make_job(kJobReadings);
    for (qm::Reading& r : store.all_readings) {
        r.kind = kind_of_all;
    }
    qm::rebuild_job_lists(store);
    return store;
}

void repaint(benchmark::State& state, qm::ManagedKind kind) {
    qm::ReadingStore store = make_store(kind == qm::ManagedKind::Rh ? qm::RhTemperature : qm::Pin);
    const auto last_page = static_cast<std::int32_t>(kJobReadings - qm::kViewRows);
    std::size_t rows = 0;
    qm::bench::run_alone(state, [&] {
        const auto texts = qm::collect_reading_rows(store, qm::kFirstMaterials, kind, 0, last_page,
                                                    qm::kViewRows, 0, 0);
        rows = texts.size();
        benchmark::DoNotOptimize(texts.data());
    });
    if (rows != qm::kViewRows) {
        state.SkipWithError("the last page did not hold sixteen rows");
    }
}

void BM_RepaintLastRhRows(benchmark::State& state) {
    repaint(state, qm::ManagedKind::Rh);
}
BENCHMARK(BM_RepaintLastRhRows)->Unit(benchmark::kMicrosecond)->Iterations(21);

void BM_RepaintLastMcRows(benchmark::State& state) {
    repaint(state, qm::ManagedKind::Mc);
}
BENCHMARK(BM_RepaintLastMcRows)->Unit(benchmark::kMicrosecond)->Iterations(21);

// Computes humidity and dew point over the whole range, in and out of the table, and counts the
// allocations made meanwhile: the run fails unless there are none.
void BM_PsychrometricsAllocations(benchmark::State& state) {
    std::size_t allocations = 0;
    double sum = 0.0;
    qm::bench::run_alone(state, [&] {
        const std::size_t before = qm::bench::allocation_count();
        for (int rh = 0; rh <= 1000; rh += 7) {
            for (int t = -600; t <= 2000; t += 13) {
                const qm::PsychrometricResult p =
                    qm::compute_psychrometrics(rh * 0.1, t * 0.1, (rh + t) & 1);
                sum += p.humidity + p.dew_point_text[0];
            }
        }
        allocations += qm::bench::allocation_count() - before;
    });
    benchmark::DoNotOptimize(sum);
    if (allocations != 0) {
        state.SkipWithError("compute_psychrometrics allocated");
    }
}
BENCHMARK(BM_PsychrometricsAllocations)->Unit(benchmark::kMicrosecond)->Iterations(5);

} // namespace
