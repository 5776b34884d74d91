// What the server guards whoever writes to it (a visit's bytes against its SHA-256, a visit's
// rows only with it), what a pull refuses to take from it as local input would be refused, and
// writes that lose a race to another laptop's change of content.
#include "archive/sha256.h"
#include "sync/pulled_input.h"
#include "sync/sync_session.h"

#include "support/team_sync.h"

namespace qm {
namespace {

using test::Recorder;
using ServerGuards = test::TeamSync;

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A visit row laid down by hand with the server's own checks set aside, as a server of an
// earlier schema may hold it.
void put_visit(PgDb& db, const std::string& sha, std::int64_t utc,
               std::span<const std::uint8_t> bytes) {
    const PgParam row[] = {PgParam::text(sha), PgParam::number(utc), PgParam::bytes(bytes)};
    ASSERT_TRUE(db.exec("SET session_replication_role = replica")) << db.error();
    ASSERT_TRUE(db.query("INSERT INTO visits (sha256, received_utc, received_offset, source, "
                         "meter, readings, source_bytes) VALUES ($1, $2, 0, 'download', '', 0, $3)",
                         row))
        << db.error();
    ASSERT_TRUE(db.exec("SET session_replication_role = DEFAULT")) << db.error();
}

bool says(const std::vector<std::string>& lines, const std::string& what) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(what) != std::string::npos;
    });
}

TEST_F(ServerGuards, ServerOfVersion2WithRowsIsBroughtForwardAndGuardsItsVisits) {
    ASSERT_TRUE(db.exec("DROP SCHEMA public CASCADE; CREATE SCHEMA public"));
    std::string error;
    ASSERT_TRUE(migrate_server(db, error, 2)) << error;
    ASSERT_TRUE(db.exec(roles_sql() + "CREATE ROLE anna LOGIN IN ROLE quellmark_technician;"))
        << db.error();
    // Rows written by hand, one of them a visit the guards would refuse: kept as they are.
    const std::string first = sha256_hex(test::variant_stream(1));
    put_visit(db, first, 1796000000, test::variant_stream(1));
    put_visit(db, std::string(64, '0'), 1796000000, test::variant_stream(1));
    ASSERT_TRUE(db.exec("INSERT INTO jobs VALUES ('" + first +
                        "', 1, 1, 7, 1, '', ''); INSERT INTO readings VALUES ('" + first +
                        "', 1, 1, 2, 0, 0, 12.5, NULL, 26, 3, 4, 10, 0, 0)"));
    ASSERT_TRUE(migrate_server(db, error)) << error;
    EXPECT_EQ(server_schema_version(db), kServerSchemaVersion);
    const std::string kept = "2 1 1";
    const std::string counts = "SELECT (SELECT count(*) FROM visits) || ' ' || (SELECT count(*) "
                               "FROM jobs) || ' ' || (SELECT count(*) FROM readings)";
    EXPECT_EQ(scalar(counts), kept);

    // A technician's visit whose bytes are not its SHA-256's, rows added to a visit already
    // there (also behind a table of her own named like ours): refused.
    PgDb mallory = cluster.connect("anna");
    ASSERT_TRUE(mallory.exec("CREATE TEMP TABLE visits (sha256 text)"));
    ASSERT_TRUE(
        mallory.query("INSERT INTO pg_temp.visits VALUES ($1)", std::vector{PgParam::text(first)}));
    const std::vector<std::uint8_t> other = test::variant_stream(2);
    const struct {
        const char* sql;
        std::vector<PgParam> params;
        const char* state;
    } refused[] = {
        {"INSERT INTO public.visits VALUES ($1, 1, 0, 'file', '', 0, $2)",
         {PgParam::text(sha256_hex(other)), PgParam::bytes(test::variant_stream(3))},
         "23514"},
        {"INSERT INTO readings VALUES ($1, 1, 1, 2, 0, 0, 12.5, NULL, 26, 3, 4, 10, 0, 0)",
         {PgParam::text(first)},
         "42501"},
        {"INSERT INTO jobs VALUES ($1, 1, 5, 77, 1, '', '')", {PgParam::text(first)}, "42501"},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(mallory.query(r.sql, r.params)) << r.sql;
        EXPECT_EQ(mallory.sql_state(), r.state) << r.sql << ": " << mallory.error();
    }
    EXPECT_EQ(scalar(counts), kept);

    // Her own push goes through, visit, jobs and readings in one transaction.
    auto laptop = open("anna.sqlite");
    add(*laptop, 2);
    PgDb anna = cluster.connect("anna");
    const SyncReport pushed = sync(*laptop, anna);
    ASSERT_TRUE(pushed.ok && pushed.pushed == 1) << pushed.error;
    EXPECT_EQ(scalar("SELECT count(DISTINCT visit) FROM readings"), "2");
    EXPECT_EQ(scalar("SELECT count(*) FROM jobs WHERE visit = '" + first + "'"), "1");
}

// Each visit here fails a check local input passes through; the good one after them, the
// project and the titles still arrive.
TEST_F(ServerGuards, BadVisitsAreLeftOutWithOneMessageEachAndTheSyncGoesOn) {
    const std::string junk = "no stream at all, just text";
    const std::vector<std::uint8_t> timed = test::variant_stream(4);
    const std::vector<std::uint8_t> titled = test::variant_stream(5);
    const std::string big(static_cast<std::size_t>(kMaxPulledSourceBytes) + 1, 'x');
    put_visit(db, sha256_hex(test::variant_stream(2)), 1796000000, test::variant_stream(3));
    put_visit(db, sha256_hex(bytes_of(junk)), 1796000000, bytes_of(junk));
    put_visit(db, sha256_hex(timed), INT64_MAX, timed);
    put_visit(db, sha256_hex(bytes_of(big)), 1796000000, bytes_of(big));
    put_visit(db, sha256_hex(titled), 1796000000, titled);
    const PgParam title[] = {PgParam::text(sha256_hex(titled)),
                             PgParam::text(std::string(1000000, 'T'))};
    ASSERT_TRUE(db.exec("SET session_replication_role = replica"));
    ASSERT_TRUE(
        db.query("INSERT INTO jobs VALUES ($1, 1, 1, 9, 1, convert_to($2, 'UTF8'), '')", title))
        << db.error();
    ASSERT_TRUE(db.exec("SET session_replication_role = DEFAULT"));

    auto anna = open("anna.sqlite");
    add(*anna, 6);
    const VisitSummary good = anna->list_visits("", 0, 1).value()[0];
    ASSERT_EQ(good.sha256, sha256_hex(test::variant_stream(6)));
    ASSERT_TRUE(anna->set_annotations(good.id, RecordKind::Mc, 1, "Hall", ""));
    ASSERT_TRUE(ProjectStore(*anna).create({"Elm", "Lee", "", "", {}, {}, {}, ""}));
    // A visit whose bytes rotted in this archive is never sent; the others are.
    add(*anna, 7);
    const std::string rotten = sha256_hex(test::variant_stream(7));
    ASSERT_TRUE(anna->db().exec("UPDATE visit_sources SET bytes = zeroblob(length(bytes)) WHERE "
                                "visit_id = (SELECT id FROM visits WHERE sha256 = '" +
                                rotten + "')"));
    const SyncReport pushed = sync(*anna);
    ASSERT_TRUE(pushed.ok) << pushed.error;
    EXPECT_EQ(pushed.pushed, 1u);
    ASSERT_EQ(pushed.skipped.size(), 6u);
    EXPECT_TRUE(says(pushed.skipped, "Visit " + rotten.substr(0, 12) +
                                         " of this archive was not sent: its bytes no longer"));

    auto ben = open("ben.sqlite");
    for (int twice = 0; twice < 2; ++twice) {
        const SyncReport pulled = sync(*ben);
        ASSERT_TRUE(pulled.ok) << pulled.error;
        EXPECT_EQ(pulled.pulled, twice == 0 ? 1u : 0u);
        ASSERT_EQ(pulled.skipped.size(), 5u); // one line a visit, every sync
        EXPECT_NE(sync_summary(pulled).find("\n" + pulled.skipped[4]), std::string::npos);
        for (const char* why :
             {"bytes do not match its SHA-256", "hold no readings", "outside 1970 to 2199",
              "larger than 64 MB", "a job's title of 1000000 bytes (at most 259)"}) {
            EXPECT_TRUE(says(pulled.skipped, why)) << why;
        }
    }
    EXPECT_EQ(shas(*ben), std::set<std::string>{good.sha256});
    // Titles edited on the server later are checked as well.
    ASSERT_TRUE(db.exec("UPDATE jobs SET notes = convert_to(repeat('n', 1000), 'UTF8'), "
                        "revision = revision + 1 WHERE kind = 1 AND number = 1 AND visit = '" +
                        good.sha256 + "'"));
    const SyncReport titles = sync(*ben);
    EXPECT_TRUE(titles.ok && titles.titles_pulled == 0) << titles.error;
    EXPECT_TRUE(says(titles.skipped, "'s titles and notes on the server were left out: it holds "
                                     "a job's notes of 1000 bytes (at most 999)"));
    EXPECT_EQ(ben->list_visits("Hall", 0, 1).value().size(), 1u);
    EXPECT_TRUE(ProjectStore(*ben).find("Elm"));
}

// Each project holds one value local input refuses; none is taken, nor changed into another
// value, and the good project arrives.
TEST_F(ServerGuards, ProjectPartsLocalInputRefusesAreLeftOutWithAMessage) {
    ASSERT_TRUE(db.exec(R"sql(
INSERT INTO projects (key, revision, name, client, site, claim, notes) VALUES
    ('k1', 1, 'Ash', '', '', '', ''), ('k2', 1, 'Birch', '', '', '', ''),
    ('k3', 1, 'Cedar', '', '', '', ''), ('k4', 1, 'Dogwood', '', '', '', ''),
    ('k5', 1, 'Elm', '', '', '', ''), ('k6', 1, 'Fir', '', '', '', ''),
    ('k7', 1, 'Good', '', '', '', '');
INSERT INTO projects (key, revision, name, client, site, claim, notes, loss_date) VALUES
    ('k8', 1, 'Hazel', '', '', '', '', 9223372036854775807);
INSERT INTO project_equipment VALUES ('k1', 1, 'heater', -5, 'hall', '2026-03-03', NULL),
    ('k4', 1, 'heater', 1, 'hall', '0001-01-01', NULL),
    ('k5', 1, 'heater', 1, 'hall', '2026-03-03', 'infinity'),
    ('k7', 1, 'heater', 2, 'hall', '2026-03-03', NULL);
INSERT INTO project_standards VALUES ('k2', 'pin', -1, -1, 'Oak', 11, NULL, NULL, NULL, NULL,
    '-Infinity');
INSERT INTO project_legend VALUES ('k3', 'KIT', repeat('k', 100000)),
    ('k6', 'KIT', 'kitchen'), ('k6', 'LR', repeat('l', 4097));
)sql")) << db.error();
    auto anna = open();
    const SyncReport report = sync(*anna);
    ASSERT_TRUE(report.ok) << report.error;
    const std::vector<std::string> why = {
        "Ash” on the server was left out: it holds equipment of -5 units",
        "Birch” on the server was left out: it holds a standard or tolerance that is not a finite",
        "Cedar” on the server was left out: it holds a legend name of 100000 bytes (at most 4096)",
        "Dogwood” on the server was left out: it holds equipment placed or removed on a date "
        "outside",
        "Elm” on the server was left out: it holds equipment placed or removed on a date outside",
        "Fir” on the server was left out: it holds a legend name of 4097 bytes",
        "Hazel” on the server was left out: it holds a loss date outside"};
    ASSERT_EQ(report.skipped.size(), why.size());
    for (const std::string& w : why) {
        EXPECT_TRUE(says(report.skipped, w)) << w;
    }
    const auto projects = ProjectStore(*anna).list();
    ASSERT_EQ(projects.size(), 1u);
    EXPECT_EQ(test::project_texts(*anna).at("Good")[4],
              "heater x2 at \"hall\", placed 2026-03-03, running\n");
    EXPECT_EQ(scalar("SELECT count(*) FROM projects WHERE revision = 1"), "8"); // none rewritten
}

// Another laptop changes what this one is about to overwrite: its change survives.
TEST_F(ServerGuards, WritesThatLoseARaceKeepTheOtherLaptopsContent) {
    auto anna = open("anna.sqlite");
    add(*anna, 1);
    ASSERT_TRUE(ProjectStore(*anna).create({"Maple", "Ortiz", "", "", {}, {}, {}, ""}));
    ASSERT_TRUE(sync(*anna).ok);
    ProjectStore store(*anna);
    const std::int64_t maple = store.find("Maple")->id;
    ASSERT_TRUE(store.add_equipment(maple, {EquipmentType::Heater, 1, "hall", 9800, {}}));
    const std::int64_t visit = anna->list_visits("", 0, 1).value()[0].id;
    for (const std::int32_t job : {1, 2}) {
        ASSERT_TRUE(anna->set_annotations(visit, RecordKind::Mc, job, "Anna's", ""));
    }
    // The office renames the client while Anna's sync is at the project, and writes the notes
    // of whichever job Anna's titles reach second, when she writes the first.
    ASSERT_TRUE(db.exec(R"sql(
CREATE TABLE raced (done boolean);
CREATE FUNCTION race() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF NOT EXISTS (SELECT FROM raced) THEN
        INSERT INTO raced VALUES (true);
        UPDATE jobs SET notes = 'office', revision = revision + 1
            WHERE kind = 1 AND number IN (1, 2) AND number <> NEW.number;
    END IF;
    RETURN NULL;
END
$$;
CREATE TRIGGER race AFTER UPDATE OF title ON jobs FOR EACH ROW EXECUTE FUNCTION race();
)sql")) << db.error();
    PgDb office = cluster.connect();
    Recorder racer;
    racer.on_progress = [&](std::string_view step, std::size_t) {
        if (step == "projects") {
            ASSERT_TRUE(office.exec("UPDATE projects SET client = 'Kim', revision = revision + 1"));
        }
    };
    const SyncReport raced = sync(*anna, db, &racer);
    ASSERT_TRUE(raced.ok) << raced.error;
    EXPECT_EQ(scalar("SELECT client || ' ' || (SELECT count(*) FROM project_equipment) FROM "
                     "projects"),
              "Kim 1");
    EXPECT_EQ(store.get(maple)->details.client, "Kim");
    EXPECT_EQ(raced.titles_pushed, 1u);
    ASSERT_EQ(raced.refused.size(), 1u); // the second job: changed on both sides
    EXPECT_EQ(scalar("SELECT string_agg(convert_from(title, 'UTF8') || '/' || "
                     "convert_from(notes, 'UTF8'), ' ' ORDER BY title) FROM jobs WHERE kind = 1 "
                     "AND number IN (1, 2)"),
              "/office Anna's/");
}

} // namespace
} // namespace qm
