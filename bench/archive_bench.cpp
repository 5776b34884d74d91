// The visit archive: keeping a 1,000,000-reading download beside a bare loop that inserts the
// same rows with one prepared statement in one transaction; opening that visit beside load_save
// of a ".qmk" with the same readings; listing the newest visits of a 10,000-visit archive.
#include "archive/archive_schema.h"
#include "archive/visit_archive.h"
#include "archive/visit_loading.h"
#include "bench/bench_data.h"
#include "bench/paired.h"
#include "files/save_file.h"
#include "link/download_decoder.h"
#include "state/app_state.h"
#include "text/reading_time.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string bench_path(const char* name) {
    return "/tmp/qm_bench_" + std::to_string(::getpid()) + "_" + name;
}

void remove_archive(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::remove((path + suffix).c_str());
    }
}

// A download stream of n records, all of job 1 (so that one ".qmk" holds every reading).
std::vector<std::uint8_t> one_job_stream(std::size_t n) {
    std::vector<std::uint8_t> s = qm::bench::make_stream(n);
    static constexpr std::size_t kLength[4] = {12, 13, 10, 12};
    for (std::size_t at = 19; at < s.size(); at += kLength[s[at]]) {
        s[at + 1] = static_cast<std::uint8_t>((s[at + 1] & 0xF0) | 1);
    }
    return s;
}

struct Decoded {
    std::unique_ptr<qm::AppState> app = std::make_unique<qm::AppState>();
};

Decoded decode(const std::vector<std::uint8_t>& stream) {
    Decoded d;
    qm::decode_download(stream, d.app->store, d.app->meter, d.app->job_records, d.app->selection);
    return d;
}

// The rows' values, made before the floor's clock starts: the floor only binds and steps.
struct Row {
    std::int64_t v[14];
    double value;
};

// The floor: the same rows written by SQLite alone, on a connection of the bench's own.
void insert_rows_bare(const std::string& path, const std::vector<Row>& rows) {
    qm::SqliteDb db;
    db.open(path, qm::SqliteDb::Mode::ReadWrite);
    db.exec("BEGIN IMMEDIATE");
    db.exec("INSERT INTO visits VALUES (1, 'x', 0, 0, 'download', x'', 0)");
    qm::SqliteStatement insert(db, "INSERT INTO readings VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, "
                                   "?9, ?10, ?11, ?12, ?13, ?14, ?15)");
    for (const Row& r : rows) {
        insert.bind(1, std::int64_t{1});
        for (int c = 0; c < 6; ++c) {
            insert.bind(c + 2, r.v[c]);
        }
        insert.bind(8, r.value).bind(9, r.value);
        for (int c = 6; c < 12; ++c) {
            insert.bind(c + 4, r.v[c]);
        }
        insert.run();
    }
    db.exec("COMMIT");
}

void BM_ArchiveDownload(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> stream = qm::bench::make_stream(n);
    const Decoded d = decode(stream);
    std::vector<Row> rows;
    std::int64_t seq = 0;
    for (const qm::Reading& r : d.app->store.all_readings) {
        rows.push_back({{seq++, r.job, r.kind, r.location, r.sub_location, r.material, r.year,
                         r.month, r.day, r.hour_code, r.minute, qm::reading_minute(r)},
                        r.mc});
    }
    const std::string path = bench_path("archive.sqlite");
    double bytes_per_reading = 0;
    qm::bench::run_paired(
        state,
        [&] {
            remove_archive(path);
            qm::open_archive(path); // the schema, outside the clock
        },
        [&] {
            qm::OpenedArchive opened = qm::open_archive(path);
            opened.archive->add_visit(stream, qm::VisitSource::Download, qm::received_now(),
                                      d.app->store, d.app->meter);
            opened.archive.reset();
            bytes_per_reading = static_cast<double>(fs::file_size(path)) / static_cast<double>(n);
        },
        [&] { insert_rows_bare(path, rows); });
    char label[64];
    std::snprintf(label, sizeof label, "%.1f bytes per reading", bytes_per_reading);
    state.SetLabel(label);
    remove_archive(path);
}
BENCHMARK(BM_ArchiveDownload)
    ->Arg(5'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

struct NullUi : qm::UserInterface {
    void message_box(std::string_view, std::string_view, qm::MessageIcon) override {}
    qm::PumpResult pump_messages(qm::PumpMode) override { return {}; }
};

void BM_OpenVisit(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> stream = one_job_stream(n);
    const std::string archive_path = bench_path("open.sqlite");
    const std::string save_path = bench_path("open.qmk");
    remove_archive(archive_path);
    {
        const Decoded d = decode(stream);
        const qm::SaveFileHeader header =
            qm::make_save_header(d.app->wizard, d.app->selection, d.app->meter, d.app->store);
        const auto bytes = qm::encode_save(header, d.app->meter, d.app->store.all_readings, 1,
                                           d.app->store.annotations);
        std::FILE* f = std::fopen(save_path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    qm::OpenedArchive opened = qm::open_archive(archive_path);
    const std::int64_t id =
        qm::archive_source(*opened.archive, stream, qm::received_now()).visit_id;
    auto app = std::make_unique<qm::AppState>();
    NullUi ui;
    qm::bench::run_paired(
        state,
        [&] {
            qm::open_visit(*opened.archive, id, app->store, app->meter, app->job_records,
                           app->selection);
        },
        [&] { qm::load_save(save_path, app->store, app->meter, ui); });
    opened.archive.reset();
    remove_archive(archive_path);
    std::remove(save_path.c_str());
}
BENCHMARK(BM_OpenVisit)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(9);

// What the History window reads when it opens: the count and the first page of visits.
void BM_ListVisits(benchmark::State& state) {
    const std::string path = bench_path("list.sqlite");
    remove_archive(path);
    qm::OpenedArchive opened = qm::open_archive(path);
    const Decoded d = decode(qm::bench::make_stream(12));
    {
        qm::ArchiveTransaction filling(*opened.archive); // one commit, not one a visit
        for (std::int64_t i = 0; i < state.range(0); ++i) {
            const std::string source = std::to_string(i);
            opened.archive->add_visit(
                {reinterpret_cast<const std::uint8_t*>(source.data()), source.size()},
                qm::VisitSource::Download, {i * 3600, 0}, d.app->store, d.app->meter);
        }
        filling.commit();
    }
    qm::bench::run_alone(state, [&] {
        benchmark::DoNotOptimize(opened.archive->count_visits(""));
        benchmark::DoNotOptimize(opened.archive->list_visits("", 0, 100));
    });
    opened.archive.reset();
    remove_archive(path);
}
BENCHMARK(BM_ListVisits)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(9);

} // namespace
