// The archive under a kill -9 in the middle of archiving, under two writers at once, and under
// another program that migrates it at the worst moment.

#include "archive/archive_schema.h"
#include "archive/visit_archive.h"
#include "archive/visit_loading.h"
#include "support/archive_fixture.h"
#include "support/readings.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {
namespace {

using ArchiveReliability = test::ArchiveFolder;

// A child process: runs work and exits with its result; the parent gets its PID.
template <typename Work> pid_t start_child(Work work) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(work());
    }
    return child;
}

int exit_status(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// SQLite's own file system with a hook before each write, sync and lock of the WAL index, made
// the default while it lives: the tests stop a program, or let another one in, at an exact step
// of SQLite's work instead of at a moment of the clock.
class HookedFiles {
public:
    enum class Step { Write, MainFileWrite, Sync, WriteLock };

    explicit HookedFiles(std::function<void(Step)> hook) {
        hook_ = std::move(hook);
        real_ = sqlite3_vfs_find(nullptr);
        vfs_ = *real_;
        vfs_.zName = "qm-hooked";
        vfs_.xOpen = open;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~HookedFiles() {
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(real_, 1);
        hook_ = nullptr;
    }
    HookedFiles(const HookedFiles&) = delete;
    HookedFiles& operator=(const HookedFiles&) = delete;

private:
    // The real file's methods with ours in front of three of them; the file itself is SQLite's.
    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags,
                    int* out_flags) {
        const int rc = real_->xOpen(real_, name, file, flags, out_flags);
        if (rc == SQLITE_OK && file->pMethods != nullptr) {
            real_methods_ = file->pMethods;
            const bool main = (flags & SQLITE_OPEN_MAIN_DB) != 0;
            sqlite3_io_methods& methods = main ? main_methods_ : methods_;
            methods = *file->pMethods;
            methods.xWrite = main ? main_write : write;
            methods.xSync = sync;
            methods.xShmLock = shm_lock;
            file->pMethods = &methods;
        }
        return rc;
    }
    static int write(sqlite3_file* f, const void* data, int n, sqlite3_int64 at) {
        hook_(Step::Write);
        return real_methods_->xWrite(f, data, n, at);
    }
    static int main_write(sqlite3_file* f, const void* data, int n, sqlite3_int64 at) {
        hook_(Step::MainFileWrite);
        return real_methods_->xWrite(f, data, n, at);
    }
    static int sync(sqlite3_file* f, int flags) {
        hook_(Step::Sync);
        return real_methods_->xSync(f, flags);
    }
    static int shm_lock(sqlite3_file* f, int offset, int n, int flags) {
        // Offset 0 of the WAL index is the writer's lock.
        if (offset == 0 && (flags & SQLITE_SHM_LOCK) != 0 && (flags & SQLITE_SHM_EXCLUSIVE) != 0) {
            hook_(Step::WriteLock);
        }
        return real_methods_->xShmLock(f, offset, n, flags);
    }

    static inline std::function<void(Step)> hook_;
    static inline sqlite3_vfs* real_ = nullptr;
    static inline sqlite3_vfs vfs_{};
    static inline const sqlite3_io_methods* real_methods_ = nullptr;
    static inline sqlite3_io_methods methods_{};
    static inline sqlite3_io_methods main_methods_{};
};

// A child keeps visits of 2,000 readings in a loop and is killed at an exact step of its work
// after its first one: a write of the WAL (the first page, within a visit, its last page), the
// sync of a commit, a write of the checkpoint into the archive's own file. Every round leaves an
// archive that passes its integrity check and holds each visit whole.
TEST_F(ArchiveReliability, KillDuringArchivingLeavesWholeVisits) {
    constexpr int kReadings = 2000;
    auto store = std::make_unique<ReadingStore>();
    for (int i = 0; i < kReadings; ++i) {
        store->all_readings.push_back(test::dated_reading(Pin, 1 + i % 5, i % 64, 0, i, i % 60));
    }
    const MeterIdentity meter;
    using Step = HookedFiles::Step;
    const struct {
        Step step; // counted: Write counts every write and sync, MainFileWrite only those
        int at;
    } kills[] = {{Step::Write, 1},  {Step::Write, 2},         {Step::Write, 7},
                 {Step::Write, 20}, {Step::Write, 23},        {Step::Write, 24},
                 {Step::Write, 61}, {Step::MainFileWrite, 1}, {Step::MainFileWrite, 40}};
    int round = 0;
    for (const auto& kill : kills) {
        const pid_t child = start_child([&] {
            int count = 0;
            bool armed = false;
            const HookedFiles hooked([&](Step step) {
                const bool counted =
                    kill.step == Step::Write ? step != Step::WriteLock : step == kill.step;
                if (armed && counted && ++count == kill.at) {
                    ::raise(SIGKILL);
                }
            });
            const OpenedArchive opened = open_archive(path());
            for (int n = 0; opened.archive && n < 500; ++n) {
                const std::string source = std::to_string(round) + "/" + std::to_string(n);
                opened.archive->add_visit(
                    {reinterpret_cast<const std::uint8_t*>(source.data()), source.size()},
                    VisitSource::Download, received_now(), *store, meter);
                armed = true;
            }
            return 1;
        });
        EXPECT_EQ(exit_status(child), 128 + SIGKILL) << "round " << round;
        ++round;
    }
    const std::unique_ptr<VisitArchive> archive = open();
    const ArchiveCheck check = archive->check().value();
    EXPECT_TRUE(check.ok()) << check.integrity.at(0);
    EXPECT_GE(check.visits, round);
    EXPECT_EQ(check.readings, check.visits * kReadings);
}

// Another program migrates a new archive between this one's first look at its version and its
// write lock: the migration looks at the version again inside its transaction, finds the work
// done and opens the archive, where a version read before the lock would create the tables twice.
TEST_F(ArchiveReliability, MigrationLooksAtTheVersionInsideItsTransaction) {
    // An empty database in WAL mode, held open by "another program" so its WAL index stays.
    test::run_sql(path(), "PRAGMA journal_mode = WAL");
    SqliteDb other;
    ASSERT_TRUE(other.open(path(), SqliteDb::Mode::ReadWrite));
    ASSERT_TRUE(other.exec("PRAGMA journal_mode = WAL") && other.exec("CREATE TABLE t (x)") &&
                other.exec("DROP TABLE t"));
    int migrated = 0;
    std::string other_error;
    {
        const HookedFiles hooked([&](HookedFiles::Step step) {
            if (step != HookedFiles::Step::WriteLock || migrated++ > 0) {
                return;
            }
            bool done = other.exec("BEGIN IMMEDIATE");
            for (const std::string_view migration : kArchiveMigrations) {
                done = done && other.exec(std::string(migration));
            }
            done = done &&
                   other.exec("PRAGMA user_version = " + std::to_string(kArchiveSchemaVersion)) &&
                   other.exec("COMMIT");
            other_error = done ? "" : other.error();
        });
        const OpenedArchive opened = open_archive(path());
        EXPECT_EQ(opened.message, "");
        EXPECT_TRUE(opened.archive);
    }
    EXPECT_EQ(other_error, "");
    EXPECT_GE(migrated, 1); // the other program did come in between
    std::int64_t version = 0;
    ASSERT_TRUE(other.query_int("PRAGMA user_version", version));
    EXPECT_EQ(version, kArchiveSchemaVersion);
}

// Two programs start on a new archive at the same moment, each keeping ten downloads.
TEST_F(ArchiveReliability, TwoWritersAtOnceBothSucceed) {
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> children;
    for (int writer = 0; writer < 2; ++writer) {
        children.push_back(start_child([&, writer] {
            ::close(go[1]);
            char byte = 0;
            if (::read(go[0], &byte, 1) != 0) {
                return 3;
            }
            const OpenedArchive opened = open_archive(path());
            if (!opened.message.empty()) {
                std::fprintf(stderr, "%s\n", opened.message.c_str());
            }
            for (int n = 0; n < 10 && opened.archive; ++n) {
                const AddVisitResult added = archive_source(
                    *opened.archive, test::variant_stream(writer * 100 + n), received_now());
                if (added.status != AddVisitResult::Status::Added) {
                    return 1;
                }
            }
            return opened.archive ? 0 : 2;
        }));
    }
    ::close(go[1]); // both children read end of file at once: the start signal
    ::close(go[0]);
    for (const pid_t child : children) {
        EXPECT_EQ(exit_status(child), 0);
    }
    const std::unique_ptr<VisitArchive> archive = open();
    EXPECT_EQ(archive->count_visits("").value(), 20);
    EXPECT_TRUE(archive->check().value().ok());
}

// The desktop holds its archive open while the sync opens and closes another connection and
// another program writes and closes: the long-lived connection keeps its WAL and sees it all.
TEST_F(ArchiveReliability, LongLivedConnectionOutlastsOthers) {
    const std::unique_ptr<VisitArchive> held = open();
    ASSERT_EQ(archive_source(*held, test::variant_stream(1), received_now()).status,
              AddVisitResult::Status::Added);
    open().reset();
    // Another program (a fork would share SQLite's view of this process's locks).
    test::write_file(path("two.stream"), test::variant_stream(2));
    ASSERT_EQ(
        exit_status(test::spawn(
            {QM_QMTOOL_PATH, "--archive", path(), "archive", "add", path("two.stream")}, dir)),
        0);
    EXPECT_EQ(held->count_visits("").value(), 2);
    EXPECT_EQ(archive_source(*held, test::variant_stream(3), received_now()).status,
              AddVisitResult::Status::Added);
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        EXPECT_EQ(target.find("(deleted)"), std::string::npos) << target;
    }
    EXPECT_EQ(open()->count_visits("").value(), 3);
}

} // namespace
} // namespace qm
