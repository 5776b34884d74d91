// The download decoder against its floor: the least work a decode cannot avoid, done the fastest
// way. It reads the stream once and writes the readings it produces: one pass summing the stream's
// bytes and one memset of as many bytes as the readings take, into an array kept between rounds
// (the store of the last download) or into fresh memory advised to large pages (a new store).
#include "bench/bench_data.h"
#include "bench/paired.h"
#include "link/download_decoder.h"
#include "state/app_state.h"

#include <benchmark/benchmark.h>

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>

namespace {

constexpr std::size_t kRecords = 1'000'000;
constexpr std::size_t kLargePage = std::size_t{2} << 20;

// Fresh anonymous memory of `size` bytes, starting on a large page and advised to large pages as
// the decoder advises its readings.
class FreshMemory {
public:
    FreshMemory() = default;
    FreshMemory(const FreshMemory&) = delete;
    FreshMemory& operator=(const FreshMemory&) = delete;
    ~FreshMemory() { release(); }

    std::uint8_t* map(std::size_t size) {
        release();
        mapped_ = size + kLargePage;
        base_ =
            ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        const auto at =
            (reinterpret_cast<std::uintptr_t>(base_) + kLargePage - 1) & ~(kLargePage - 1);
        ::madvise(reinterpret_cast<void*>(at), size & ~(kLargePage - 1), MADV_HUGEPAGE);
        return reinterpret_cast<std::uint8_t*>(at);
    }
    void release() {
        if (base_ != nullptr) {
            ::munmap(base_, mapped_);
            base_ = nullptr;
        }
    }

private:
    void* base_ = nullptr;
    std::size_t mapped_ = 0;
};

void decode_beside_floor(benchmark::State& state, bool new_store) {
    const auto stream = qm::bench::make_stream(kRecords);
    auto app = std::make_unique<qm::AppState>();
    const std::size_t reading_bytes =
        qm::decode_download(stream, app->store, app->meter, app->job_records, app->selection)
            .readings_kept *
        sizeof(qm::Reading);
    std::vector<std::uint8_t> reused(reading_bytes);
    FreshMemory fresh;
    qm::bench::run_paired(
        state,
        [&] {
            if (new_store) {
                app = std::make_unique<qm::AppState>();
                fresh.release();
            }
        },
        [&] {
            const auto report = qm::decode_download(stream, app->store, app->meter,
                                                    app->job_records, app->selection);
            benchmark::DoNotOptimize(report.readings_kept);
        },
        [&] {
            unsigned sum = std::accumulate(stream.begin(), stream.end(), 0U);
            benchmark::DoNotOptimize(sum);
            std::uint8_t* readings = new_store ? fresh.map(reading_bytes) : reused.data();
            std::memset(readings, 0, reading_bytes);
            benchmark::DoNotOptimize(readings);
            benchmark::ClobberMemory();
        });
}

void BM_DecodeDownload(benchmark::State& state) {
    decode_beside_floor(state, false);
}
BENCHMARK(BM_DecodeDownload)->Unit(benchmark::kMillisecond)->Iterations(9);

void BM_DecodeDownloadNewStore(benchmark::State& state) {
    decode_beside_floor(state, true);
}
BENCHMARK(BM_DecodeDownloadNewStore)->Unit(benchmark::kMillisecond)->Iterations(9);

} // namespace
