// A desktop sync from the server setting to its outcome: the password asked of the user against
// a cluster that wants one, and the settings refused before anything is sent.

#include "sync/server_schema.h"
#include "sync/sync_session.h"

#include "support/archive_fixture.h"
#include "support/pg_cluster.h"

#include <cstdlib>
#include <deque>

namespace qm {
namespace {

struct RecordedAsker : PasswordAsker {
    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> refusals; // one a call
    std::optional<std::string> ask_password(const std::string&,
                                            const std::string& refusal) override {
        refusals.push_back(refusal);
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

struct Quiet : SyncObserver {
    void progress(std::string_view, std::size_t, std::size_t) override {}
    bool cancelled() override { return false; }
};

SyncOutcome sync_with(const std::string& server, const std::string& archive, RecordedAsker& asker) {
    Quiet quiet;
    return run_team_sync({server, archive, 10}, asker, quiet, RefusedPolicy::Keep);
}

struct SyncSessionTest : test::ArchiveFolder {
    test::PgCluster cluster{true};

    void SetUp() override {
        ArchiveFolder::SetUp();
        ASSERT_TRUE(cluster.ok()) << cluster.error();
        ::setenv("PGPASSFILE", (dir / "no-pgpass").c_str(), 1); // nothing of the machine's
        PgDb db = cluster.connect();
        std::string error;
        ASSERT_TRUE(migrate_server(db, error)) << error;
        ASSERT_TRUE(db.exec("CREATE ROLE anna LOGIN SUPERUSER PASSWORD 'right'")) << db.error();
    }
};

TEST_F(SyncSessionTest, PasswordAskedWhileTheServerWantsOne) {
    using S = SyncOutcome::Status;
    const std::string nope = "not-it"; // a wrong password, never shown
    const struct {
        const char* user;
        std::vector<std::optional<std::string>> answers;
        std::size_t asked;
        S status;
        std::string message; // exact, or the start of it
    } cases[] = {
        {"anna",
         {"right"},
         1,
         S::Done,
         "Sync complete: 1 visit sent, 0 received; 0 projects sent, 0 received."},
        {"anna",
         {nope, "right"},
         2,
         S::Done,
         "Sync complete: 0 visits sent, 1 received; 0 projects sent, 0 received."},
        {"anna", {std::nullopt}, 1, S::Cancelled, ""},
        {"anna", {nope, nope, nope}, 3, S::Failed, "The team server did not take the password: "},
        {"postgres", {}, 0, S::Done, "Sync complete: 0 visits sent, 1 received;"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const std::string name = "laptop" + std::to_string(i) + ".sqlite";
        const std::string laptop = path(name);
        if (i == 0) {
            ASSERT_EQ(archive_source(*open(name), test::variant_stream(1), received_now()).status,
                      AddVisitResult::Status::Added);
        }
        RecordedAsker asker;
        asker.answers.assign(cases[i].answers.begin(), cases[i].answers.end());
        const SyncOutcome outcome = sync_with(cluster.uri(cases[i].user), laptop, asker);
        EXPECT_EQ(asker.refusals.size(), cases[i].asked);
        EXPECT_EQ(outcome.status, cases[i].status);
        EXPECT_EQ(outcome.message.substr(0, cases[i].message.size()), cases[i].message);
        EXPECT_EQ(outcome.message.find(nope), std::string::npos);
        if (!asker.refusals.empty()) {
            EXPECT_EQ(asker.refusals[0], ""); // the first ask is not a refusal
        }
        if (asker.refusals.size() > 1) {
            EXPECT_NE(asker.refusals[1].find("password authentication failed"), std::string::npos);
        }
    }
}

TEST(SyncSession, SettingsRefusedBeforeAnythingIsSent) {
    ::unsetenv("QUELLMARK_SERVER");
    const std::string unreachable = "host=/nonexistent-qm port=5432 dbname=postgres";
    const struct {
        std::string server;
        std::string start; // of the message
        std::string also;  // in it
    } cases[] = {
        {"", "No team server is set. Enter its address under Team server\u2026", ""},
        {"postgresql://anna:secret@/postgres?host=/tmp",
         "The team server's address holds a password. Leave it out", ""},
        {"host=/tmp password=secret", "The team server's address holds a password.", ""},
        {"host=/tmp nonsense", "The team server's address cannot be read: ", ""},
        {unreachable,
         "The team server cannot be reached: ", "/nonexistent-qm/.s.PGSQL.5432\" failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.server);
        RecordedAsker asker;
        const SyncOutcome outcome = sync_with(c.server, "/nonexistent-qm/archive.sqlite", asker);
        EXPECT_EQ(outcome.status, SyncOutcome::Status::Failed);
        EXPECT_EQ(outcome.message.substr(0, c.start.size()), c.start);
        EXPECT_NE(outcome.message.find(c.also), std::string::npos);
        EXPECT_EQ(outcome.message.find("secret"), std::string::npos);
        EXPECT_TRUE(asker.refusals.empty());
    }
    const std::string reason = "no such host";
    EXPECT_EQ(server_unreachable_message(reason),
              "The team server cannot be reached: no such host\nEverything else works from this "
              "computer's archive; sync again later.");
}

TEST(SyncSession, ProgressAndSummaryTexts) {
    EXPECT_EQ(sync_progress_text("push", 2, 10), "Sending visit 3 of 10");
    EXPECT_EQ(sync_progress_text("pull", 0, 4), "Receiving visit 1 of 4");
    EXPECT_EQ(sync_progress_text("projects", 5, 5), "Projects: 5 of 5");
    SyncReport report;
    report.pushed = 3;
    report.pulled = 2;
    report.projects_pushed = 1;
    report.refused.resize(2);
    EXPECT_EQ(sync_summary(report), "Sync complete: 3 visits sent, 2 received; 1 project sent, 0 "
                                    "received.\nThe server refused 2 edits made here, as the "
                                    "same data changed there too; they are kept here until you "
                                    "choose.");
}

} // namespace
} // namespace qm
