// The download decoder against its floor: one memcpy of the readings it produces.
#include "bench/bench_data.h"
#include "link/download_decoder.h"
#include "state/app_state.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

constexpr std::size_t kRecords = 1'000'000;

void BM_DecodeDownload(benchmark::State& state) {
    const auto stream = qm::bench::make_stream(kRecords);
    qm::AppState app;
    for (auto _ : state) {
        const auto report =
            qm::decode_download(stream, app.store, app.meter, app.job_records, app.selection);
        benchmark::DoNotOptimize(report.readings_kept);
    }
    state.counters["readings"] = static_cast<double>(app.store.all_readings.size());
}
BENCHMARK(BM_DecodeDownload)->Unit(benchmark::kMillisecond);

void BM_MemcpyReadingsFloor(benchmark::State& state) {
    const auto source = qm::bench::make_readings(kRecords);
    std::vector<qm::Reading> target(source.size());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size() * sizeof(qm::Reading));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyReadingsFloor)->Unit(benchmark::kMillisecond);

} // namespace
