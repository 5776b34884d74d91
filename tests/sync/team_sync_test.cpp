// The team server against a real PostgreSQL 15 cluster started for each test: two laptops'
// archives syncing visits and a project, a server killed halfway, stale edits, the roles, and
// rows laid down with plain SQL.

#include "archive/sha256.h"

#include "archive/visit_evidence.h"
#include "support/archive_access.h"
#include "support/team_sync.h"

#include <sqlite3.h>

#include <functional>
#include <set>

namespace qm {
namespace {

using test::PgCluster;
using test::Recorder;
using TeamSyncTest = test::TeamSync;

ProjectDetails details(const std::string& name, const std::string& client) {
    ProjectDetails d;
    d.name = name;
    d.client = client;
    d.loss_date = 9800;
    d.category = 2;
    return d;
}

TEST_F(TeamSyncTest, TwoLaptopsEndWithTheSameVisitsAndProject) {
    auto anna = open("anna.sqlite");
    auto office = open("office.sqlite");
    add(*anna, 1);
    add(*anna, 2);
    add(*office, 2); // the same download on both: stored once
    add(*office, 3);
    const std::int64_t first = anna->list_visits("", 0, 10).value().back().id;
    ASSERT_TRUE(anna->set_annotations(first, RecordKind::Mc, 1, "Kitchen", "wet\r\nfloor"));
    const auto maple = ProjectStore(*anna).create(details("Maple St", "Ortiz"));
    ASSERT_TRUE(maple);
    const JobRef kitchen{first, RecordKind::Mc, 1};
    ASSERT_TRUE(ProjectStore(*anna).attach(*maple, {&kitchen, 1}));
    // Who read the visit, with which meter, and its failed calibration check.
    const std::string first_sha = anna->find_visit(first).value()->sha256;
    VisitEvidence said{"Ann Lee", "Red", "R-9",
                       CalibrationCheck{CheckStandard::PinBlock, 13.4, 12.0, 9560}};
    ASSERT_TRUE(set_visit_evidence(*anna, first_sha, said));

    // A sync lists the archive's visits once, for all its phases.
    int listings = 0;
    sqlite3_trace_v2(
        test::archive_db(*anna).handle(), SQLITE_TRACE_STMT,
        [](unsigned, void* count, void* statement, void*) {
            const std::string_view sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
            *static_cast<int*>(count) +=
                sql.find("FROM visits v") != sql.npos && sql.find("LIMIT") != sql.npos;
            return 0;
        },
        &listings);
    SyncReport a = sync(*anna, db);
    sqlite3_trace_v2(test::archive_db(*anna).handle(), 0, nullptr, nullptr);
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.pushed, 2u);
    EXPECT_EQ(listings, 1);
    SyncReport o = sync(*office, db);
    ASSERT_TRUE(o.ok) << o.error;
    EXPECT_EQ(o.pushed, 1u);
    EXPECT_EQ(o.pulled, 1u);
    EXPECT_EQ(o.projects_pulled, 1u);
    a = sync(*anna, db);
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.pulled, 1u);

    EXPECT_EQ(shas(*anna), shas(*office));
    EXPECT_EQ(scalar("SELECT count(*) FROM visits"), "3");
    EXPECT_EQ(scalar("SELECT count(*) FROM readings"),
              std::to_string(3 * anna->list_visits("", 0, 1).value()[0].readings));
    const auto pulled = office->list_visits("Kitchen", 0, 10).value();
    ASSERT_EQ(pulled.size(), 1u);
    EXPECT_EQ(pulled[0].jobs[0].notes, "wet\r\nfloor");
    EXPECT_EQ(o.evidence_pulled, 1u);
    EXPECT_EQ(visit_evidence(*office, first_sha).value(), said);

    // An edit on one side travels; edits on both are refused until resolved.
    said.technician = "Bo Chen";
    ASSERT_TRUE(set_visit_evidence(*office, first_sha, said));
    EXPECT_EQ(sync(*office, db).evidence_pushed, 1u);
    EXPECT_EQ(sync(*anna, db).evidence_pulled, 1u);
    EXPECT_EQ(visit_evidence(*anna, first_sha).value(), said);
    said.meter_name = "Blue";
    ASSERT_TRUE(set_visit_evidence(*anna, first_sha, said));
    said.meter_name = "Green";
    ASSERT_TRUE(set_visit_evidence(*office, first_sha, said));
    ASSERT_TRUE(sync(*office, db).ok);
    const SyncReport both = sync(*anna, db);
    ASSERT_EQ(both.refused.size(), 1u);
    EXPECT_EQ(both.refused[0].key, "visit/" + first_sha + "/evidence");
    EXPECT_EQ(visit_evidence(*anna, first_sha).value()->meter_name, "Blue");
    ASSERT_TRUE(sync(*anna, db, nullptr, RefusedPolicy::Drop).refused.empty());
    EXPECT_EQ(visit_evidence(*anna, first_sha).value()->meter_name, "Green");

    // The office edits the project; Anna's next sync brings the edit.
    ProjectStore office_projects(*office);
    const auto project = office_projects.find("maple st").value();
    ASSERT_TRUE(project);
    const auto attached = office_projects.jobs(project->id).value();
    ASSERT_EQ(attached.size(), 1u);
    EXPECT_EQ(office->find_visit(attached[0].job.visit_id).value()->sha256,
              anna->find_visit(first).value()->sha256);
    ASSERT_TRUE(office_projects.update_details(project->id, details("Maple St", "Ortiz & Sons")));
    EXPECT_EQ(sync(*office, db).projects_pushed, 1u);
    EXPECT_EQ(sync(*anna, db).projects_pulled, 1u);
    EXPECT_EQ(ProjectStore(*anna).find("Maple St").value()->details.client, "Ortiz & Sons");
    // Nothing new: nothing moves.
    const SyncReport idle = sync(*anna, db);
    EXPECT_TRUE(idle.ok && idle.pushed + idle.pulled + idle.projects_pushed == 0);
}

TEST_F(TeamSyncTest, StaleEditIsRefusedShownAndResolved) {
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    ASSERT_TRUE(ProjectStore(*anna).create(details("Elm", "Lee")));
    ASSERT_TRUE(sync(*anna, db).ok);
    ASSERT_TRUE(sync(*ben, db).ok);
    ProjectStore anna_projects(*anna);
    ProjectStore ben_projects(*ben);
    const std::int64_t at_anna = anna_projects.find("Elm").value()->id;
    const std::int64_t at_ben = ben_projects.find("Elm").value()->id;
    ASSERT_TRUE(anna_projects.update_details(at_anna, details("Elm", "Anna's")));
    ASSERT_TRUE(ben_projects.update_details(at_ben, details("Elm", "Ben's")));
    ASSERT_TRUE(sync(*anna, db).ok);

    const SyncReport refused = sync(*ben, db);
    ASSERT_EQ(refused.refused.size(), 1u);
    EXPECT_EQ(refused.refused[0].mine.client, "Ben's");
    EXPECT_EQ(refused.refused[0].theirs.client, "Anna's");
    EXPECT_EQ(refused.refused[0].server_revision, 2);
    EXPECT_EQ(ben_projects.get(at_ben)->details.client, "Ben's"); // kept, not overwritten
    EXPECT_EQ(scalar("SELECT client FROM projects"), "Anna's");
    EXPECT_EQ(sync(*ben, db).refused.size(), 1u); // stays refused until resolved

    ASSERT_TRUE(sync(*ben, db, nullptr, RefusedPolicy::Reapply).refused.empty());
    EXPECT_EQ(scalar("SELECT client || ' ' || revision FROM projects"), "Ben's 3");
    ASSERT_TRUE(anna_projects.update_details(at_anna, details("Elm", "stale")));
    ASSERT_TRUE(sync(*anna, db, nullptr, RefusedPolicy::Drop).refused.empty());
    EXPECT_EQ(anna_projects.get(at_anna)->details.client, "Ben's");
}

TEST_F(TeamSyncTest, RefusedEditsTakeTheChoiceNamedForThem) {
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    ProjectStore anna_projects(*anna);
    ProjectStore ben_projects(*ben);
    for (const char* name : {"Elm", "Oak", "Ash"}) {
        ASSERT_TRUE(anna_projects.create(details(name, "Lee")));
    }
    ASSERT_TRUE(sync(*anna, db).ok);
    ASSERT_TRUE(sync(*ben, db).ok);
    for (const char* name : {"Elm", "Oak", "Ash"}) {
        ASSERT_TRUE(anna_projects.update_details(anna_projects.find(name).value()->id,
                                                 details(name, "Anna's")));
        ASSERT_TRUE(ben_projects.update_details(ben_projects.find(name).value()->id,
                                                details(name, "Ben's")));
    }
    ASSERT_TRUE(sync(*anna, db).ok);
    const SyncReport refused = sync(*ben, db);
    ASSERT_EQ(refused.refused.size(), 3u);
    RefusedChoices choices; // Ash not named: kept for later
    for (const RefusedEdit& r : refused.refused) {
        EXPECT_NE(r.what.find(r.project), std::string::npos);
        EXPECT_NE(r.mine_text.find("Ben's"), std::string::npos) << r.mine_text;
        EXPECT_NE(r.theirs_text.find("Anna's"), std::string::npos) << r.theirs_text;
        if (r.project != "Ash") {
            choices.by_key[r.key] =
                r.project == "Elm" ? RefusedPolicy::Reapply : RefusedPolicy::Drop;
        }
    }
    Recorder quiet;
    const SyncReport chosen = sync_archive(db, *ben, quiet, choices);
    ASSERT_EQ(chosen.refused.size(), 1u);
    EXPECT_EQ(chosen.refused[0].project, "Ash");
    EXPECT_EQ(scalar("SELECT string_agg(name || ' ' || client, ', ' ORDER BY name) FROM projects"),
              "Ash Anna's, Elm Ben's, Oak Anna's");
    EXPECT_EQ(ben_projects.get(ben_projects.find("Oak").value()->id)->details.client, "Anna's");
    EXPECT_EQ(ben_projects.get(ben_projects.find("Ash").value()->id)->details.client, "Ben's");
}

TEST_F(TeamSyncTest, ServerKilledDuringPushAndPullTheNextSyncCompletes) {
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    for (int v = 1; v <= 3; ++v) {
        add(*anna, v);
    }
    Recorder killer;
    killer.on_progress = [&](std::string_view step, std::size_t done) {
        if (done == 1) {
            ASSERT_TRUE(cluster.stop_immediately()) << step;
        }
    };
    const SyncReport cut = sync(*anna, db, &killer);
    EXPECT_FALSE(cut.ok);
    EXPECT_FALSE(cut.error.empty());
    EXPECT_EQ(cut.pushed, 1u);

    ASSERT_TRUE(cluster.start());
    db = cluster.connect();
    ASSERT_TRUE(sync(*anna, db).ok);
    EXPECT_EQ(scalar("SELECT count(*) FROM visits"), "3");
    const std::string readings = std::to_string(anna->list_visits("", 0, 1).value()[0].readings);
    EXPECT_EQ(scalar("SELECT count(DISTINCT n) FROM (SELECT count(*) AS n FROM readings "
                     "GROUP BY visit) AS c"),
              "1");
    EXPECT_EQ(scalar("SELECT min(n) FROM (SELECT count(*) AS n FROM readings GROUP BY visit) c"),
              readings);

    const SyncReport pull_cut = sync(*ben, db, &killer);
    EXPECT_FALSE(pull_cut.ok);
    EXPECT_EQ(pull_cut.pulled, 1u);
    ASSERT_TRUE(cluster.start());
    db = cluster.connect();
    ASSERT_TRUE(sync(*ben, db).ok);
    EXPECT_EQ(shas(*ben), shas(*anna));
    EXPECT_TRUE(ben->check().value().ok());
}

// A visit deleted on one laptop stays deleted there and nowhere else: the team's project keeps
// its jobs, the sync neither brings it back nor sends its absence, and adding its bytes again
// brings it back with its jobs. A visit deleted before any sync never reaches the project.
TEST_F(TeamSyncTest, VisitDeletedOnOneLaptopStaysThereAlone) {
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    for (const int v : {1, 2, 3}) {
        add(*anna, v);
    }
    ProjectStore anna_projects(*anna);
    const std::int64_t leak = anna_projects.create(details("Kitchen leak", "Ortiz")).value();
    const std::vector<VisitSummary> visits = anna->list_visits("", 0, 3).value(); // newest first
    for (const VisitSummary& v : visits) {
        ASSERT_TRUE(anna_projects.attach(leak, anna_projects.visit_jobs(v.id, std::nullopt)));
    }
    const std::size_t per_visit = anna_projects.visit_jobs(visits[0].id, std::nullopt).size();
    ASSERT_TRUE(anna->remove_visit(visits[0].id)); // never synced
    ASSERT_TRUE(sync(*anna, db).ok);
    ASSERT_TRUE(sync(*ben, db).ok);
    const std::string on_server = "SELECT count(*) FROM project_jobs";
    EXPECT_EQ(scalar(on_server), std::to_string(2 * per_visit));

    std::vector<std::uint8_t> bytes;
    VisitSource kind = VisitSource::Download;
    ASSERT_TRUE(anna->read_source(visits[1].id, bytes, kind).ok());
    ASSERT_TRUE(anna->remove_visit(visits[1].id));
    ASSERT_EQ(anna_projects.jobs(leak)->size(), per_visit); // the log works from the rest
    const SyncReport deleted = sync(*anna, db);
    ASSERT_TRUE(deleted.ok) << deleted.error;
    EXPECT_EQ(deleted.pulled + deleted.projects_pushed + deleted.projects_pulled, 0u);
    EXPECT_EQ(anna->count_visits("").value(), 1);
    EXPECT_EQ(scalar(on_server), std::to_string(2 * per_visit));
    ASSERT_TRUE(sync(*ben, db).ok);
    ProjectStore ben_projects(*ben);
    EXPECT_EQ(ben_projects.jobs(ben_projects.find("Kitchen leak").value()->id)->size(),
              2 * per_visit);
    EXPECT_EQ(ben->count_visits("").value(), 2);

    // Detached on the other laptop meanwhile: taken here though the visit is not here.
    const auto at_ben = ben->list_visits("", 0, 2).value();
    const std::int64_t gone_at_ben = at_ben[at_ben[0].sha256 == visits[1].sha256 ? 0 : 1].id;
    const std::vector<JobRef> detached = ben_projects.visit_jobs(gone_at_ben, 1);
    ASSERT_TRUE(ben_projects.detach(ben_projects.find("Kitchen leak").value()->id, detached));
    ASSERT_EQ(sync(*ben, db).projects_pushed, 1u);
    ASSERT_EQ(sync(*anna, db).projects_pulled, 1u);

    ASSERT_EQ(archive_source(*anna, bytes, received_now()).status, AddVisitResult::Status::Added);
    EXPECT_EQ(anna_projects.jobs(leak)->size(), 2 * per_visit - detached.size());
    const SyncReport back = sync(*anna, db);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.pushed + back.pulled + back.projects_pushed + back.projects_pulled, 0u);
    EXPECT_EQ(test::project_texts(*anna), test::project_texts(*ben));
}

// A program killed after it added a pulled visit and before its titles and notes.
TEST_F(TeamSyncTest, PullCutBeforeTheTitlesIsFinishedNextTime) {
    auto anna = open("anna.sqlite");
    add(*anna, 1);
    const VisitSummary visit = anna->list_visits("", 0, 1).value()[0];
    ASSERT_TRUE(anna->set_annotations(visit.id, RecordKind::Mc, 1, "Hall", ""));
    ASSERT_TRUE(sync(*anna, db).ok);
    auto ben = open("ben.sqlite");
    add(*ben, 1);
    ASSERT_TRUE(
        test::archive_db(*ben).exec("INSERT INTO sync_pulling VALUES ('" + visit.sha256 + "')"));
    ASSERT_TRUE(sync(*ben, db).ok);
    EXPECT_EQ(ben->list_visits("Hall", 0, 1).value().size(), 1u);
    std::int64_t left = -1;
    ASSERT_TRUE(test::archive_db(*ben).query_int("SELECT count(*) FROM sync_pulling", left));
    EXPECT_EQ(left, 0);
}

TEST_F(TeamSyncTest, CancelStopsBetweenVisitsAndBetweenProjects) {
    auto anna = open();
    add(*anna, 1);
    add(*anna, 2);
    for (const char* name : {"Ash", "Fir"}) {
        ASSERT_TRUE(ProjectStore(*anna).create(details(name, "x")));
    }
    const struct {
        const char* step;
        std::size_t at; // cancelled when this step reports `at` done
        const char* visits;
        const char* projects; // on the server afterwards
    } cases[] = {{"push", 0, "1", "0"},
                 {"push", 0, "2", "0"}, // during the last visit: the projects are not synced
                 {"projects", 1, "2", "1"}};
    for (const auto& c : cases) {
        Recorder cancel;
        cancel.on_progress = [&](std::string_view step, std::size_t done) {
            cancel.cancel = step == c.step && done == c.at;
        };
        const SyncReport report = sync(*anna, db, &cancel);
        EXPECT_TRUE(report.cancelled && !report.ok) << c.step;
        EXPECT_EQ(scalar("SELECT count(*) FROM visits"), c.visits) << c.step;
        EXPECT_EQ(scalar("SELECT count(*) FROM projects"), c.projects) << c.step;
    }
    ASSERT_TRUE(sync(*anna, db).ok); // the next sync completes it
    EXPECT_EQ(scalar("SELECT count(*) FROM projects"), "2");
}

// Three syncs of one archive at once: one runs, the others say so. Two laptops pushing the same
// visit at once: the one whose insert the server took counts it.
TEST_F(TeamSyncTest, OneSyncOfAnArchiveAtATimeAndEachCountsItsOwnPushes) {
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    add(*anna, 1);
    add(*ben, 1);
    SyncReport ben_report;
    std::vector<std::string> others;
    Recorder racer;
    racer.on_progress = [&](std::string_view step, std::size_t) {
        if (step == "push" && others.empty()) {
            auto again = open("anna.sqlite"); // as another program would
            others = {sync(*anna).error, sync(*again).error};
            ben_report = sync(*ben);
        }
    };
    const SyncReport report = sync(*anna, db, &racer);
    EXPECT_TRUE(report.ok) << report.error;
    EXPECT_EQ(others, std::vector<std::string>(2, kSyncRunning));
    EXPECT_EQ(report.pushed, 0u);
    EXPECT_EQ(ben_report.pushed, 1u);
    EXPECT_EQ(scalar("SELECT count(*) FROM visits"), "1");
}

// A transaction a failed statement ended is rolled back by its COMMIT: that is no success.
TEST_F(TeamSyncTest, CommitOfAFailedTransactionFails) {
    PgTransaction transaction(db);
    ASSERT_TRUE(transaction.begun());
    EXPECT_FALSE(db.exec("SELECT 1 / 0"));
    EXPECT_FALSE(transaction.commit());
    EXPECT_EQ(db.error(), "the server rolled the transaction back, as a statement in it failed");
    EXPECT_TRUE(db.exec("SELECT 1")); // and the connection goes on
}

TEST_F(TeamSyncTest, TechnicianMayAddButNotDeleteVisits) {
    ASSERT_TRUE(db.exec(roles_sql())) << db.error();
    ASSERT_TRUE(db.exec("CREATE ROLE anna LOGIN IN ROLE quellmark_technician; "
                        "CREATE ROLE boss LOGIN IN ROLE quellmark_admin"))
        << db.error();
    auto archive = open();
    add(*archive, 1);
    ASSERT_TRUE(ProjectStore(*archive).create(details("Oak", "Kim")));
    PgDb anna = cluster.connect("anna");
    const SyncReport pushed = sync(*archive, anna);
    ASSERT_TRUE(pushed.ok) << pushed.error;

    EXPECT_FALSE(anna.exec("DELETE FROM visits"));
    EXPECT_EQ(anna.sql_state(), "42501");
    for (const char* refused : {"UPDATE visits SET meter = ''", "UPDATE jobs SET readings = 0"}) {
        EXPECT_FALSE(anna.exec(refused));
        EXPECT_EQ(anna.sql_state(), "42501") << refused;
    }
    // Titles and notes may change; a project may be deleted.
    EXPECT_TRUE(anna.exec("UPDATE jobs SET notes = 'x', revision = revision + 1")) << anna.error();
    EXPECT_TRUE(anna.exec("DELETE FROM projects")) << anna.error();
    PgDb boss = cluster.connect("boss");
    EXPECT_TRUE(boss.exec("DELETE FROM visits")) << boss.error();
    EXPECT_EQ(scalar("SELECT count(*) FROM readings"), "0");
}

TEST_F(TeamSyncTest, QuotesBackslashesAndSqlStoredAsTheyAre) {
    const std::string nasty = "O'Brien \\ \"x\" '); DROP TABLE visits; -- \\x41 $1";
    auto anna = open("anna.sqlite");
    add(*anna, 1);
    const std::int64_t visit = anna->list_visits("", 0, 1).value()[0].id;
    ASSERT_TRUE(anna->set_annotations(visit, RecordKind::Mc, 1, nasty, nasty));
    ASSERT_TRUE(ProjectStore(*anna).create(details("Q'uote", nasty)));
    ASSERT_TRUE(sync(*anna, db).ok);

    EXPECT_EQ(scalar("SELECT client FROM projects"), nasty);
    EXPECT_EQ(scalar("SELECT convert_from(title, 'LATIN1') FROM jobs WHERE title <> ''"), nasty);
    auto ben = open("ben.sqlite");
    ASSERT_TRUE(sync(*ben, db).ok);
    EXPECT_EQ(ProjectStore(*ben).find("Q'uote").value()->details.client, nasty);
    EXPECT_EQ(ben->list_visits("", 0, 1).value()[0].jobs[0].title, nasty);
}

// Rows laid down with plain SQL, as another tool or an administrator would write them.
TEST_F(TeamSyncTest, RowsWrittenByHandAreReadBack) {
    const std::vector<std::uint8_t> bytes = test::variant_stream(7);
    std::string hex;
    for (const std::uint8_t b : bytes) {
        static constexpr char kHex[] = "0123456789abcdef";
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
    }
    const std::string sha = sha256_hex(bytes);
    ASSERT_TRUE(db.exec("INSERT INTO visits (sha256, received_utc, received_offset, source, meter, "
                        "readings, source_bytes) VALUES ('" +
                        sha + "', 1796000000, 3600, 'download', 'RQ', 0, '\\x" + hex + "'); " +
                        "INSERT INTO projects VALUES ('k1', 4, 'Birch', 'Doe', 'Site', 'C-9', "
                        "NULL, 3, 1, 'n')"))
        << db.error();
    auto archive = open();
    const SyncReport report = sync(*archive, db);
    ASSERT_TRUE(report.ok) << report.error;
    const auto visits = archive->list_visits("", 0, 10).value();
    ASSERT_EQ(visits.size(), 1u);
    EXPECT_EQ(visits[0].sha256, sha);
    EXPECT_EQ(visits[0].received.utc_seconds, 1796000000);
    EXPECT_EQ(visits[0].received.offset_seconds, 3600);
    const auto birch = ProjectStore(*archive).find("Birch").value();
    ASSERT_TRUE(birch);
    EXPECT_EQ(birch->details.claim, "C-9");
    EXPECT_EQ(birch->details.category, 3);
    EXPECT_FALSE(birch->details.loss_date);

    // A server copy whose bytes are not those of its SHA-256 (the server refuses to take one
    // since its schema 3) is left out, not archived.
    EXPECT_FALSE(db.exec("UPDATE visits SET sha256 = repeat('0', 64)"));
    ASSERT_TRUE(db.exec("SET session_replication_role = replica; "
                        "UPDATE visits SET sha256 = repeat('0', 64)"));
    auto other = open("other.sqlite");
    const SyncReport bad = sync(*other, db);
    EXPECT_TRUE(bad.ok) << bad.error;
    ASSERT_EQ(bad.skipped.size(), 1u);
    EXPECT_NE(bad.skipped[0].find("do not match"), std::string::npos);
    EXPECT_EQ(other->count_visits("").value(), 0);
}

TEST_F(TeamSyncTest, SchemaVersionKeptOnTheServer) {
    std::string error;
    EXPECT_TRUE(migrate_server(db, error)) << error; // again: nothing to do
    EXPECT_EQ(server_schema_version(db), kServerSchemaVersion);
    {
        PgTransaction transaction(db); // rolled back: the failure that ended it is kept
        EXPECT_FALSE(db.exec("INSERT INTO visits (sha256) VALUES ('x')"));
    }
    EXPECT_NE(db.error().find("violates"), std::string::npos) << db.error();
    EXPECT_FALSE(db.sql_state().empty());
    ASSERT_TRUE(db.exec("UPDATE schema_version SET version = 99"));
    EXPECT_FALSE(migrate_server(db, error));
    EXPECT_NE(error.find("newer"), std::string::npos);
}

} // namespace
} // namespace qm
