// CSV export and save-file loading of a 100,000- and a 1,000,000-reading job, each beside its
// floor: one fwrite or one fread of the same bytes.
#include "bench/bench_data.h"
#include "bench/paired.h"
#include "files/csv_export.h"
#include "files/save_file.h"
#include "state/app_state.h"
#include "store/job_index.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

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

// The export as the program writes it, handed in pieces to fwrite, beside one fwrite of the same
// bytes. Each write makes a new file: ext4 starts writing back a file truncated and written again
// when it is closed, which would land on either side at random.
void BM_ExportCsv(benchmark::State& state) {
    const auto app = make_app(static_cast<std::size_t>(state.range(0)));
    const std::string floor_text = qm::export_csv(app->store, app->meter, 1, 0, 0);
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
        [&] { write_bytes(path, floor_text.data(), floor_text.size()); });
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

// load_save of a file in the page cache, beside one fread of the whole file.
void BM_LoadSave(benchmark::State& state) {
    const std::string path = write_save_file(static_cast<std::size_t>(state.range(0)));
    auto app = std::make_unique<qm::AppState>();
    NullUi ui;
    std::vector<char> buffer;
    bool refused = false;
    qm::bench::run_paired(
        state,
        [&] { refused = refused || !qm::load_save(path, app->store, app->meter, ui).accepted(); },
        [&] {
            std::FILE* f = std::fopen(path.c_str(), "rb");
            std::fseek(f, 0, SEEK_END);
            buffer.resize(static_cast<std::size_t>(std::ftell(f)));
            std::fseek(f, 0, SEEK_SET);
            benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), f));
            std::fclose(f);
        });
    if (refused) {
        state.SkipWithError("the save file was refused");
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadSave)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(9);

} // namespace
