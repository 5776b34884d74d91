// The team server on a throwaway local PostgreSQL 15 cluster: pushing 100 visits of 5,000
// readings into an emptied server and pulling them into a new archive, each beside psql loading
// the same rows (visits with their bytes, jobs, readings) from COPY files into the emptied
// tables (goal: 2 x); psql's COPY TO STDOUT of those rows; a sync with nothing new (goal:
// 200 ms). Wall time: most of the work is the server's.
#include "archive/visit_archive.h"
#include "archive/visit_loading.h"
#include "bench/bench_data.h"
#include "bench/paired.h"
#include "projects/project_store.h"
#include "sync/server_schema.h"
#include "sync/team_sync.h"

#include "support/pg_cluster.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kVisits = 100;
constexpr std::size_t kReadingsPerVisit = 5'000;

struct Quiet : qm::SyncObserver {
    void progress(std::string_view, std::size_t, std::size_t) override {}
    bool cancelled() override { return false; }
};

// The cluster, a laptop's archive of kVisits downloads and the COPY files of what pushing them
// writes, in a temporary folder removed at the end.
class SyncBench {
public:
    SyncBench() {
        if (!cluster_.ok()) {
            error_ = cluster_.error();
            return;
        }
        std::string pattern = "/tmp/qm-sync-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            error_ = "no temporary folder";
            return;
        }
        dir_ = pattern;
        qm::PgDb db = cluster_.connect();
        if (!qm::migrate_server(db, error_) || !make_laptop() || !write_scripts()) {
            return;
        }
        // The COPY files are the rows one push wrote, as the server gives them out.
        ready_ = empty_server() && sync(*laptop_).ok && psql(dir_ + "/save.sql");
        if (!ready_) {
            error_ = "cannot prepare the COPY files: " + error_;
        }
    }
    ~SyncBench() {
        laptop_.reset();
        if (!dir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
        }
    }
    SyncBench(const SyncBench&) = delete;
    SyncBench& operator=(const SyncBench&) = delete;

    // Whether the cluster, the archive and the COPY files were made (else error() says why).
    bool ready() const { return ready_; }
    // Why the last step failed.
    const std::string& error() const { return error_; }
    const std::string& dir() const { return dir_; }
    qm::VisitArchive& laptop() { return *laptop_; }

    bool empty_server() {
        qm::PgDb db = cluster_.connect();
        if (!db.exec("TRUNCATE visits, jobs, readings, projects, project_jobs, project_points, "
                     "project_standards, project_equipment, project_legend")) {
            error_ = db.error();
            return false;
        }
        return true;
    }
    // The floor: psql loads the COPY files into the (emptied) tables in one transaction.
    bool load_with_psql() { return psql(dir_ + "/load.sql"); }
    bool copy_out_with_psql() { return psql(dir_ + "/copy_out.sql"); }

    // A whole sync of `archive` on a new connection, as `qmtool sync` makes it.
    qm::SyncReport sync(qm::VisitArchive& archive) {
        qm::PgDb db = cluster_.connect();
        Quiet quiet;
        qm::SyncReport report = qm::sync_archive(db, archive, quiet, qm::RefusedPolicy::Keep);
        if (!report.ok) {
            error_ = report.error;
        }
        return report;
    }

    std::unique_ptr<qm::VisitArchive> new_archive(const std::string& name) {
        const std::string path = dir_ + "/" + name;
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::remove((path + suffix).c_str());
        }
        return qm::open_archive(path).archive;
    }

private:
    bool make_laptop() {
        laptop_ = new_archive("laptop.sqlite");
        for (int v = 0; laptop_ && v < kVisits; ++v) {
            const auto stream =
                qm::bench::make_stream(kReadingsPerVisit, static_cast<std::uint32_t>(100 + v));
            const qm::AddVisitResult added = qm::archive_source(
                *laptop_, stream, {1'790'000'000 + std::int64_t{v} * 86'400, 3'600});
            if (added.status != qm::AddVisitResult::Status::Added ||
                laptop_->find_visit(added.visit_id).value()->readings !=
                    static_cast<std::int64_t>(kReadingsPerVisit)) {
                error_ = "cannot archive a visit of 5,000 readings: " + added.error;
                return false;
            }
        }
        return laptop_ != nullptr;
    }

    bool write_scripts() {
        static constexpr const char* kTables[][2] = {
            {"visits", "visits (sha256, received_utc, received_offset, source, meter, readings, "
                       "source_bytes)"},
            {"jobs", "jobs"},
            {"readings", "readings"}};
        std::ofstream save(dir_ + "/save.sql");
        std::ofstream load(dir_ + "/load.sql");
        std::ofstream out(dir_ + "/copy_out.sql");
        load << "BEGIN;\n";
        for (const auto& [name, columns] : kTables) {
            const std::string file = dir_ + "/" + name + ".copy";
            save << "\\copy " << columns << " TO '" << file << "'\n";
            load << "\\copy " << columns << " FROM '" << file << "'\n";
            out << "COPY " << columns << " TO STDOUT;\n";
        }
        load << "COMMIT;\n";
        if (!save.flush() || !load.flush() || !out.flush()) {
            error_ = "cannot write the psql scripts";
            return false;
        }
        return true;
    }

    // Runs psql as the cluster's superuser on `script`, its output thrown away.
    bool psql(const std::string& script) {
        const std::string program = std::string(qm::test::PgCluster::kBin) + "/psql";
        const std::string conninfo = cluster_.conninfo();
        const pid_t child = ::fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null < 0 || ::dup2(null, 0) < 0 || ::dup2(null, 1) < 0) {
                ::_exit(101);
            }
            ::execl(program.c_str(), "psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-d",
                    conninfo.c_str(), "-f", script.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            error_ = "psql " + script + " failed";
            return false;
        }
        return true;
    }

    qm::test::PgCluster cluster_;
    std::string dir_;
    std::unique_ptr<qm::VisitArchive> laptop_;
    std::string error_;
    bool ready_ = false;
};

// One for the whole run: a cluster takes seconds to start and the archive to fill.
SyncBench& sync_bench() {
    static SyncBench bench;
    return bench;
}

// Pushing every visit into an emptied server, beside psql loading the same rows.
void BM_SyncPush(benchmark::State& state) {
    SyncBench& b = sync_bench();
    if (!b.ready()) {
        state.SkipWithError(b.error().c_str());
        return;
    }
    bool ok = true;
    qm::bench::run_paired_by(
        state, qm::bench::wall_ms, [&] { ok = b.empty_server() && ok; },
        [&] { ok = b.sync(b.laptop()).pushed == kVisits && ok; },
        [&] { ok = b.empty_server() && ok; }, [&] { ok = b.load_with_psql() && ok; });
    if (!ok) {
        state.SkipWithError(("the push failed: " + b.error()).c_str());
    }
}
BENCHMARK(BM_SyncPush)->Unit(benchmark::kMillisecond)->Iterations(5);

// Pulling every visit into a new archive, beside the same floor as the push.
void BM_SyncPull(benchmark::State& state) {
    SyncBench& b = sync_bench();
    if (!b.ready()) {
        state.SkipWithError(b.error().c_str());
        return;
    }
    bool ok = true;
    std::unique_ptr<qm::VisitArchive> office;
    qm::bench::run_paired_by(
        state, qm::bench::wall_ms,
        [&] {
            office.reset();
            office = b.new_archive("office.sqlite");
            ok = office && b.empty_server() && b.load_with_psql() && ok;
        },
        [&] { ok = office && b.sync(*office).pulled == kVisits && ok; },
        [&] { ok = b.empty_server() && ok; }, [&] { ok = b.load_with_psql() && ok; });
    if (!ok) {
        state.SkipWithError(("the pull failed: " + b.error()).c_str());
    }
}
BENCHMARK(BM_SyncPull)->Unit(benchmark::kMillisecond)->Iterations(5);

// What the server gives out of the same rows at best: psql's COPY TO STDOUT of them.
void BM_SyncRowsCopyOut(benchmark::State& state) {
    SyncBench& b = sync_bench();
    bool ok = b.ready() && b.empty_server() && b.load_with_psql();
    if (!ok) {
        state.SkipWithError(b.error().c_str());
        return;
    }
    qm::bench::run_alone(
        state, [&] { ok = b.copy_out_with_psql() && ok; }, qm::bench::wall_ms);
    if (!ok) {
        state.SkipWithError(b.error().c_str());
    }
}
BENCHMARK(BM_SyncRowsCopyOut)->Unit(benchmark::kMillisecond)->Iterations(5);

// An archive that holds every visit and three projects of ten visits' jobs each, synced: the
// server holds the same. Null when it cannot be made.
std::unique_ptr<qm::VisitArchive> synced_archive(SyncBench& b) {
    std::unique_ptr<qm::VisitArchive> office = b.new_archive("current.sqlite");
    if (!office || !b.empty_server() || !b.load_with_psql() || !b.sync(*office).ok) {
        return nullptr;
    }
    qm::ProjectStore projects(*office);
    for (int p = 0; p < 3; ++p) {
        const auto project = projects.create(
            {"Project " + std::to_string(p), "Client", "Site", "Claim", {}, {}, {}, "Notes"});
        const auto page = office->list_visits("", p * 10, 10);
        if (!page) {
            return nullptr;
        }
        for (const qm::VisitSummary& v : *page) {
            if (!project || !projects.attach(*project, projects.visit_jobs(v.id, std::nullopt))) {
                return nullptr;
            }
        }
    }
    return b.sync(*office).projects_pushed == 3 ? std::move(office) : nullptr;
}

// A sync when both sides hold everything.
void BM_SyncNothingNew(benchmark::State& state) {
    SyncBench& b = sync_bench();
    std::unique_ptr<qm::VisitArchive> office = b.ready() ? synced_archive(b) : nullptr;
    if (!office) {
        state.SkipWithError(("cannot prepare the sync: " + b.error()).c_str());
        return;
    }
    bool ok = true;
    qm::bench::run_alone(
        state,
        [&] {
            const qm::SyncReport r = b.sync(*office);
            ok = r.ok && r.pushed + r.pulled + r.projects_pushed + r.projects_pulled == 0 && ok;
        },
        qm::bench::wall_ms);
    if (!ok) {
        state.SkipWithError(("a sync had something to do: " + b.error()).c_str());
    }
}
BENCHMARK(BM_SyncNothingNew)->Unit(benchmark::kMillisecond)->Iterations(21);

} // namespace
