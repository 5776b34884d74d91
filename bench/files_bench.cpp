// CSV export and save-file loading of a 100,000-reading job, each beside its floor: one fwrite
// or one fread of the same bytes.
#include "bench/bench_data.h"
#include "files/csv_export.h"
#include "files/save_file.h"
#include "state/app_state.h"
#include "store/job_index.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr std::size_t kJobReadings = 100'000;

std::string bench_path(const char* name) {
    return "/tmp/qm_bench_" + std::to_string(::getpid()) + "_" + name;
}

qm::AppState make_app() {
    qm::AppState app;
    app.store.all_readings = qm::bench::make_job(kJobReadings);
    app.store.job_ids = {101, 102, 103, 104, 105};
    qm::rebuild_job_lists(app.store);
    return app;
}

void write_bytes(const std::string& path, const void* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

// The export text as the program builds it, then written with one fwrite.
void BM_ExportCsv(benchmark::State& state) {
    qm::AppState app = make_app();
    const std::string path = bench_path("export.csv");
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = qm::export_csv(app.store, app.meter, 1, 0, 0);
        write_bytes(path, text.data(), text.size());
        bytes = text.size();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    std::remove(path.c_str());
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);

void BM_ExportCsvFwriteFloor(benchmark::State& state) {
    qm::AppState app = make_app();
    const std::string text = qm::export_csv(app.store, app.meter, 1, 0, 0);
    const std::string path = bench_path("floor.csv");
    for (auto _ : state) {
        write_bytes(path, text.data(), text.size());
    }
    state.counters["bytes"] = static_cast<double>(text.size());
    std::remove(path.c_str());
}
BENCHMARK(BM_ExportCsvFwriteFloor)->Unit(benchmark::kMillisecond);

struct NullUi : qm::UserInterface {
    void message_box(std::string_view, std::string_view, qm::MessageIcon) override {}
    qm::PumpResult pump_messages(qm::PumpMode) override { return {}; }
};

std::string write_save_file() {
    qm::AppState app = make_app();
    const qm::SaveFileHeader header =
        qm::make_save_header(app.wizard, app.selection, app.meter, app.store);
    const auto bytes =
        qm::encode_save(header, app.meter, app.store.all_readings, 1, app.store.annotations);
    const std::string path = bench_path("load.qmk");
    write_bytes(path, bytes.data(), bytes.size());
    return path;
}

void BM_LoadSave(benchmark::State& state) {
    const std::string path = write_save_file();
    qm::AppState app;
    NullUi ui;
    for (auto _ : state) {
        const qm::LoadResult result = qm::load_save(path, app.store, app.meter, ui);
        if (!result.accepted()) {
            state.SkipWithError("the save file was refused");
            break;
        }
    }
    state.counters["readings"] = static_cast<double>(app.store.all_readings.size());
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadSave)->Unit(benchmark::kMillisecond);

void BM_LoadSaveFreadFloor(benchmark::State& state) {
    const std::string path = write_save_file();
    std::vector<char> buffer;
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        buffer.resize(static_cast<std::size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), f));
        std::fclose(f);
    }
    state.counters["bytes"] = static_cast<double>(buffer.size());
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadSaveFreadFloor)->Unit(benchmark::kMillisecond);

} // namespace
