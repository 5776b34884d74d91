// The job index against its floor: one std::stable_sort of the same array by the composite key.
#include "bench/bench_data.h"
#include "store/job_index.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <tuple>

namespace {

constexpr std::size_t kReadings = 1'000'000;

void BM_RebuildJobLists(benchmark::State& state) {
    const auto source = qm::bench::make_readings(kReadings);
    qm::ReadingStore store;
    for (auto _ : state) {
        state.PauseTiming();
        store.all_readings = source;
        state.ResumeTiming();
        qm::rebuild_job_lists(store);
        benchmark::DoNotOptimize(store.mc_job_count);
    }
}
BENCHMARK(BM_RebuildJobLists)->Unit(benchmark::kMillisecond);

void BM_StableSortFloor(benchmark::State& state) {
    const auto source = qm::bench::make_readings(kReadings);
    std::vector<qm::Reading> readings;
    for (auto _ : state) {
        state.PauseTiming();
        readings = source;
        state.ResumeTiming();
        std::stable_sort(readings.begin(), readings.end(),
                         [](const qm::Reading& a, const qm::Reading& b) {
                             return std::tie(a.job, a.location, a.sub_location) <
                                    std::tie(b.job, b.location, b.sub_location);
                         });
        benchmark::DoNotOptimize(readings.data());
    }
}
BENCHMARK(BM_StableSortFloor)->Unit(benchmark::kMillisecond);

} // namespace
