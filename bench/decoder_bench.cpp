// The download decoder against its floor: one memcpy of the readings it produces, into a store
// that holds the last download's readings and into a new one.
#include "bench/bench_data.h"
#include "bench/paired.h"
#include "link/download_decoder.h"
#include "state/app_state.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kRecords = 1'000'000;

void decode_beside_memcpy(benchmark::State& state, bool new_store) {
    const auto stream = qm::bench::make_stream(kRecords);
    const auto source = qm::bench::make_readings(kRecords);
    std::vector<qm::Reading> target(source.size());
    auto app = std::make_unique<qm::AppState>();
    qm::bench::run_paired(
        state,
        [&] {
            if (new_store) {
                app = std::make_unique<qm::AppState>();
            }
        },
        [&] {
            const auto report = qm::decode_download(stream, app->store, app->meter,
                                                    app->job_records, app->selection);
            benchmark::DoNotOptimize(report.readings_kept);
        },
        [&] {
            std::memcpy(target.data(), source.data(), source.size() * sizeof(qm::Reading));
            benchmark::DoNotOptimize(target.data());
            benchmark::ClobberMemory();
        });
}

void BM_DecodeDownload(benchmark::State& state) {
    decode_beside_memcpy(state, false);
}
BENCHMARK(BM_DecodeDownload)->Unit(benchmark::kMillisecond)->Iterations(9);

void BM_DecodeDownloadNewStore(benchmark::State& state) {
    decode_beside_memcpy(state, true);
}
BENCHMARK(BM_DecodeDownloadNewStore)->Unit(benchmark::kMillisecond)->Iterations(9);

} // namespace
