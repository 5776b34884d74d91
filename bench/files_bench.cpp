// CSV export and save-file loading of a 100,000- and a 1,000,000-reading job, each beside its
// floor: writing or reading the same bytes of the file in the same pieces, from or into one buffer
// kept between rounds.
#include "bench/bench_data.h"
#include "bench/paired.h"
#include "files/csv_export.h"
#include "files/save_file.h"
#include "state/app_state.h"
#include "store/job_index.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string bench_path(const char* name) {
    return "/tmp/qm_bench_" + std::to_string(::getpid()) + "_" + name;
}

std::unique_ptr<qm::AppState> make_app(std::size_t readings) {
    auto app = std::make_unique<qm::AppState>();
    app->store.all_readings = qm::bench::make_job(readings);
    app->store.job_ids = {101, 102, 103, 104, 105};
    qm::rebuild_job_lists(app->store);
    return app;
}

void write_bytes(const std::string& path, const void* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

// The export as the program writes it, handed in pieces to fwrite, beside fwrite of the same
// number of bytes in the same pieces from one buffer (the export's first piece). Each write makes
// a new file: ext4 starts writing back a file truncated and written again when it is closed,
// which would land on either side at random.
void BM_ExportCsv(benchmark::State& state) {
    const auto app = make_app(static_cast<std::size_t>(state.range(0)));
    std::vector<char> piece_bytes;
    std::vector<std::size_t> pieces;
    qm::write_csv(app->store, app->meter, 1, 0, 0, [&](std::span<const std::uint8_t> piece) {
        if (piece_bytes.empty()) {
            piece_bytes.assign(piece.begin(), piece.end());
        }
        pieces.push_back(piece.size());
        return 0;
    });
    piece_bytes.resize(
        std::max(piece_bytes.size(), *std::max_element(pieces.begin(), pieces.end())));
    const std::string path = bench_path("export.csv");
    qm::bench::run_paired(
        state, [&] { std::remove(path.c_str()); },
        [&] {
            std::FILE* f = std::fopen(path.c_str(), "wb");
            qm::write_csv(app->store, app->meter, 1, 0, 0,
                          [f](std::span<const std::uint8_t> piece) {
                              std::fwrite(piece.data(), 1, piece.size(), f);
                              return 0;
                          });
            std::fclose(f);
        },
        [&] {
            std::FILE* f = std::fopen(path.c_str(), "wb");
            for (const std::size_t size : pieces) {
                std::fwrite(piece_bytes.data(), 1, size, f);
            }
            std::fclose(f);
        });
    std::remove(path.c_str());
}
BENCHMARK(BM_ExportCsv)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(9);

struct NullUi : qm::UserInterface {
    void message_box(std::string_view, std::string_view, qm::MessageIcon) override {}
    qm::PumpResult pump_messages(qm::PumpMode) override { return {}; }
};

std::string write_save_file(std::size_t readings) {
    const auto app = make_app(readings);
    const qm::SaveFileHeader header =
        qm::make_save_header(app->wizard, app->selection, app->meter, app->store);
    const auto bytes =
        qm::encode_save(header, app->meter, app->store.all_readings, 1, app->store.annotations);
    const std::string path = bench_path("load.qmk");
    write_bytes(path, bytes.data(), bytes.size());
    return path;
}

// Reads the file as load_save does, with pread into one buffer: the bytes before the records,
// the records kLoadChunkRecords at a time, then the rest.
void read_like_load(const std::string& path, std::vector<std::uint8_t>& buffer) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const auto size = static_cast<std::size_t>(::lseek(fd, 0, SEEK_END));
    const std::size_t chunk = qm::kLoadChunkRecords * qm::kSavedReadingSize;
    buffer.resize(std::max(chunk, qm::kSavedReadingsOffset));
    std::size_t at = 0;
    for (std::size_t piece = qm::kSavedReadingsOffset; at < size; piece = chunk) {
        const ssize_t got =
            ::pread(fd, buffer.data(), std::min(piece, size - at), static_cast<off_t>(at));
        if (got <= 0) {
            break;
        }
        at += static_cast<std::size_t>(got);
    }
    ::close(fd);
    benchmark::DoNotOptimize(buffer.data());
}

// load_save of a file in the page cache, beside reading the same bytes in the same chunks into
// one buffer kept between rounds.
void BM_LoadSave(benchmark::State& state) {
    const std::string path = write_save_file(static_cast<std::size_t>(state.range(0)));
    auto app = std::make_unique<qm::AppState>();
    NullUi ui;
    std::vector<std::uint8_t> buffer;
    bool refused = false;
    qm::bench::run_paired(
        state,
        [&] { refused = refused || !qm::load_save(path, app->store, app->meter, ui).accepted(); },
        [&] { read_like_load(path, buffer); });
    if (refused) {
        state.SkipWithError("the save file was refused");
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadSave)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(9);

} // namespace
