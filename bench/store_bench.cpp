// The job index against its floor: one std::stable_sort of the same array by the composite key.
#include "bench/bench_data.h"
#include "bench/paired.h"
#include "store/job_index.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <tuple>

namespace {

constexpr std::size_t kReadings = 1'000'000;

void BM_RebuildJobLists(benchmark::State& state) {
    const auto source = qm::bench::make_readings(kReadings);
    qm::ReadingStore store;
    qm::bench::run_paired(
        state, [&] { store.all_readings = source; },
        [&] {
            qm::rebuild_job_lists(store);
            benchmark::DoNotOptimize(store.mc_job_count);
        },
        [&] {
            std::stable_sort(store.all_readings.begin(), store.all_readings.end(),
                             [](const qm::Reading& a, const qm::Reading& b) {
                                 return std::tie(a.job, a.location, a.sub_location) <
                                        std::tie(b.job, b.location, b.sub_location);
                             });
            benchmark::DoNotOptimize(store.all_readings.data());
        });
}
BENCHMARK(BM_RebuildJobLists)->Unit(benchmark::kMillisecond)->Iterations(7);

} // namespace
