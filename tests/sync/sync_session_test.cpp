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
        std::string database = "postgres";
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
        // The password was taken: a database that is not there is said once, not asked again.
        {"anna", {"right"}, 1, S::Failed, "The team server cannot be reached: ", "nosuch"},
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
        std::string server = cluster.uri(cases[i].user);
        server.replace(server.find("/postgres?"), 10, "/" + cases[i].database + "?");
        const SyncOutcome outcome = sync_with(server, laptop, asker);
        EXPECT_EQ(asker.refusals.size(), cases[i].asked);
        EXPECT_EQ(outcome.status, cases[i].status);
        EXPECT_EQ(outcome.message.substr(0, cases[i].message.size()), cases[i].message);
        EXPECT_EQ(outcome.message.find(nope), std::string::npos);
        if (!asker.refusals.empty()) {
            EXPECT_EQ(asker.refusals[0], ""); // the first ask is not a refusal
        }
        if (cases[i].database != "postgres") {
            EXPECT_NE(outcome.message.find("database \"nosuch\" does not exist"), std::string::npos)
                << outcome.message;
        }
        if (asker.refusals.size() > 1) {
            EXPECT_NE(asker.refusals[1].find("password authentication failed"), std::string::npos);
        }
    }
}

// A password typed once serves the whole action (the sync and the one that settles what it
// refused); one the server no longer takes is asked again, saying why.
TEST_F(SyncSessionTest, PasswordKeptForTheWholeAction) {
    SyncPassword password;
    RecordedAsker asker;
    asker.answers = {"right", "new"};
    Quiet quiet;
    const auto run = [&] {
        return run_team_sync({cluster.uri("anna"), path("a.sqlite"), 10}, asker, quiet,
                             RefusedPolicy::Keep, password)
            .status;
    };
    EXPECT_EQ(run(), SyncOutcome::Status::Done);
    EXPECT_EQ(run(), SyncOutcome::Status::Done);
    EXPECT_EQ(asker.refusals, std::vector<std::string>{""});
    PgDb admin = cluster.connect();
    ASSERT_TRUE(admin.exec("ALTER ROLE anna PASSWORD 'new'"));
    EXPECT_EQ(run(), SyncOutcome::Status::Done);
    ASSERT_EQ(asker.refusals.size(), 2u);
    EXPECT_NE(asker.refusals[1].find("FATAL:  password authentication failed for user \"anna\""),
              std::string::npos)
        << asker.refusals[1];
    EXPECT_EQ(asker.refusals[1].find("LOCATION"), std::string::npos) << asker.refusals[1];
    EXPECT_TRUE(password.held());
    password.forget();
    EXPECT_FALSE(password.held());
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
        // Addresses libpq cannot read, whose messages would quote them whole.
        {"postgresql://anna:secret@[::1/postgres", "The team server's address holds a password.",
         ""},
        {"postgresql://db.example.com/x?pass%77ord=secret&[",
         "The team server's address holds a "
         "password.",
         ""},
        {"host=/tmp password = secret 'open", "The team server's address holds a password.", ""},
        {"postgresql://anna@[::1/postgres",
         "The team server's address cannot be read: ", "postgresql://anna@[::1/postgres"},
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
