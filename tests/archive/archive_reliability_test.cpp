// The archive under a kill -9 in the middle of archiving and under two writers at once.

#include "archive/visit_archive.h"
#include "archive/visit_loading.h"
#include "support/archive_fixture.h"
#include "support/readings.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
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

// A child archives visits of 20,000 readings in a loop and is killed at a random moment after
// its first one; every round leaves an archive that passes its integrity check and holds each
// visit whole.
TEST_F(ArchiveReliability, KillDuringArchivingLeavesWholeVisits) {
    auto store = std::make_unique<ReadingStore>();
    for (int i = 0; i < 20000; ++i) {
        store->all_readings.push_back(test::dated_reading(Pin, 1 + i % 5, i % 64, 0, i, i % 60));
    }
    const MeterIdentity meter;
    std::mt19937 random(25);
    constexpr int kRounds = 6;
    for (int round = 0; round < kRounds; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = start_child([&] {
            const OpenedArchive opened = open_archive(path());
            for (int n = 0; opened.archive; ++n) {
                const std::string source = std::to_string(round) + "/" + std::to_string(n);
                opened.archive->add_visit(
                    {reinterpret_cast<const std::uint8_t*>(source.data()), source.size()},
                    VisitSource::Download, received_now(), *store, meter);
                if (n == 0 && ::write(ready[1], "1", 1) != 1) {
                    return 2;
                }
            }
            return 1;
        });
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "round " << round;
        ::close(ready[0]);
        ::usleep(std::uniform_int_distribution<useconds_t>(1000, 80000)(random));
        ::kill(child, SIGKILL);
        EXPECT_EQ(exit_status(child), 128 + SIGKILL);
    }
    const std::unique_ptr<VisitArchive> archive = open();
    const ArchiveCheck check = archive->check().value();
    EXPECT_TRUE(check.ok()) << check.integrity.at(0);
    EXPECT_GE(check.visits, kRounds);
    EXPECT_EQ(check.readings, check.visits * 20000);
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
