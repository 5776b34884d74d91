// Everything a drying project holds, its deletion and jobs' titles travelling between two
// technicians and an office through a real server; the schemas of both sides brought forward
// from rows written by hand.
#include "archive/archive_schema.h"
#include "archive/sha256.h"
#include "photos/project_photos.h"

#include "support/archive_access.h"
#include "support/photos.h"
#include "support/team_sync.h"

namespace qm {
namespace {

using test::project_texts;
using test::Recorder;
using TeamParts = test::TeamSync;

const MonitoringPoint kKitchen{PointScale::Pin, 2, 0, "Sheetrock"};

// An edit of one part of a project, its value set by `v`.
struct PartEdit {
    const char* part;
    std::function<bool(ProjectStore&, std::int64_t, int)> edit;
};

const PartEdit kEdits[] = {
    {"details",
     [](ProjectStore& s, std::int64_t id, int v) {
         ProjectDetails d = s.get(id)->details;
         d.client = "client " + std::to_string(v);
         d.water_class = v % 4 + 1;
         return s.update_details(id, d);
     }},
    {"jobs",
     [](ProjectStore& s, std::int64_t id, int v) {
         const auto jobs = s.visit_jobs(1, v % 3 + 1);
         return s.attach(id, jobs);
     }},
    {"points",
     [](ProjectStore& s, std::int64_t id, int v) {
         const MonitoringPoint planned{PointScale::Scan, 2, 0, "Sheetrock"};
         return s.set_label(id, kKitchen, "wall \"" + std::to_string(v) + "\"\tby\\the sink") &&
                s.set_role(id, 5, v % 2 ? AirRole::Outside : AirRole::DehumidifierOutlet) &&
                s.set_removed(id, kKitchen, PointRemoval{9800 + v, "cut " + std::to_string(v)}) &&
                s.set_planned(id, planned, true);
     }},
    {"standards",
     [](ProjectStore& s, std::int64_t id, int v) {
         return s.set_material_standard(
                    id, {"Sheetrock", PointScale::Pin, {0.1 * v, std::nullopt}, 1.5}) &&
                s.set_point_standard(id, {kKitchen, {}, v * 0.25});
     }},
    {"equipment",
     [](ProjectStore& s, std::int64_t id, int v) {
         const std::string unit = "AM-" + std::to_string(v);
         return s
             .add_equipment(
                 id, {EquipmentType::AirMover, v, "hall", 9800, 9800 + v, unit, "", 100.0 * v})
             .has_value();
     }},
    {"legend", [](ProjectStore& s, std::int64_t id,
                  int v) { return s.set_legend_name(id, "MISC1", "fan " + std::to_string(v)); }},
    {"photos",
     [](ProjectStore& s, std::int64_t id, int v) {
         PhotoBytes photo;
         photo.name = "photo.jpg";
         photo.bytes = test::jpeg_photo("2026:03:0" + std::to_string(v % 9 + 1) + " 09:15:27");
         photo.sha256 = sha256_hex(photo.bytes);
         return ProjectPhotos(s.archive())
             .attach(id, photo,
                     {std::nullopt, "2026-03-04", std::nullopt, "wall " + std::to_string(v)})
             .ok();
     }},
};

ProjectDetails named(const std::string& name) {
    ProjectDetails d;
    d.name = name;
    return d;
}

std::int64_t project_id(VisitArchive& archive, const std::string& name) {
    const auto p = ProjectStore(archive).find(name).value();
    EXPECT_TRUE(p) << name;
    return p ? p->id : 0;
}

TEST_F(TeamParts, TwoTechniciansAndAnOfficeAgreeOnEveryPart) {
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    auto office = open("office.sqlite");
    add(*anna, 1);
    add(*ben, 2);
    ProjectStore at_anna(*anna);
    const auto maple = at_anna.create(named("Maple"));
    ASSERT_TRUE(maple);
    for (const PartEdit& e : kEdits) {
        ASSERT_TRUE(e.edit(at_anna, *maple, 1)) << e.part;
    }
    for (VisitArchive* a : {anna.get(), ben.get(), office.get()}) {
        ASSERT_TRUE(sync(*a).ok);
    }
    // Each edits another part; the office's write loses a race once and is retried.
    ProjectStore at_ben(*ben);
    ProjectStore at_office(*office);
    ASSERT_TRUE(kEdits[2].edit(at_ben, project_id(*ben, "Maple"), 7));
    ASSERT_TRUE(kEdits[4].edit(at_office, project_id(*office, "Maple"), 8));
    ASSERT_TRUE(kEdits[0].edit(at_anna, *maple, 9));
    ASSERT_TRUE(sync(*ben).ok);
    Recorder racer;
    PgDb other = cluster.connect();
    racer.on_progress = [&](std::string_view step, std::size_t) {
        if (step == "projects") {
            ASSERT_TRUE(other.exec("UPDATE projects SET revision = revision + 1"));
        }
    };
    const SyncReport raced = sync(*office, db, &racer);
    ASSERT_TRUE(raced.ok && raced.refused.empty()) << raced.error << raced.refused.size();
    for (VisitArchive* a : {anna.get(), ben.get(), office.get(), anna.get(), ben.get()}) {
        const SyncReport r = sync(*a);
        ASSERT_TRUE(r.ok && r.refused.empty()) << r.error;
    }
    const auto texts = project_texts(*anna);
    EXPECT_EQ(texts, project_texts(*ben));
    EXPECT_EQ(texts, project_texts(*office));
    EXPECT_EQ(shas(*anna), shas(*office));
    const PartTexts& maple_texts = texts.at("Maple");
    EXPECT_NE(maple_texts[0].find("client: client 9"), std::string::npos);
    EXPECT_NE(maple_texts[2].find("KIT,F/Sheetrock: label \"wall \\\"7\\\"\\tby\\\\the sink\", "
                                  "removed 2026-11-07 \"cut 7\"\n"),
              std::string::npos)
        << maple_texts[2];
    EXPECT_NE(maple_texts[2].find("KIT,F/Sheetrock scan: label \"\", planned\n"),
              std::string::npos);
    EXPECT_EQ(maple_texts[4], "air mover x1 at \"hall\", placed 2026-10-31, removed 2026-11-01, "
                              "unit \"AM-1\", capacity 100\n"
                              "air mover x8 at \"hall\", placed 2026-10-31, removed 2026-11-08, "
                              "unit \"AM-8\", capacity 800\n");
    // Real columns the office can query.
    EXPECT_EQ(scalar("SELECT string_agg(count || ' ' || to_char(removed, 'MM-DD'), ',' ORDER BY "
                     "position) FROM project_equipment"),
              "1 11-01,8 11-08");
    EXPECT_EQ(scalar("SELECT label || ' ' || to_char(removed_on, 'YYYY-MM-DD') FROM project_points "
                     "WHERE location = 2 "
                     "AND scale = 'pin'"),
              "wall \"7\"\tby\\the sink 2026-11-07");
}

// A photo's bytes go to the server once, whatever the projects that hold it, and reach a laptop
// with a photo folder of its own; a photo removed on one laptop leaves the other's project.
TEST_F(TeamParts, PhotosTravelWithTheirProjectsAndTheirBytesOnce) {
    auto anna = open("anna/archive.sqlite");
    auto ben = open("ben/archive.sqlite");
    PhotoBytes photo;
    photo.name = "wall.jpg";
    photo.bytes = test::jpeg_photo("2026:03:04 09:15:27", 6);
    photo.sha256 = sha256_hex(photo.bytes);
    const PhotoPlace place{"KIT,W/Plaster", "2026-03-04", std::nullopt, "Meter on the wall"};
    ProjectPhotos at_anna(*anna);
    for (const char* name : {"Maple", "Elm"}) {
        const auto id = ProjectStore(*anna).create(named(name));
        ASSERT_TRUE(id && at_anna.attach(*id, photo, place));
    }
    ASSERT_TRUE(sync(*anna).ok);
    EXPECT_EQ(scalar("SELECT count(*) || ' ' || sum(octet_length(bytes)) FROM photo_bytes"),
              "1 " + std::to_string(photo.bytes.size()));
    const SyncReport pulled = sync(*ben);
    ASSERT_TRUE(pulled.ok && pulled.skipped.empty()) << pulled.error;
    EXPECT_EQ(test::read_file(path("ben/photos/" + photo.sha256)), photo.bytes);
    ProjectPhotos at_ben(*ben);
    const std::vector<ProjectPhoto> maple = at_ben.list(project_id(*ben, "Maple")).value();
    ASSERT_EQ(maple.size(), 1U);
    EXPECT_EQ(maple[0].place, place);
    EXPECT_EQ(maple[0].facts.orientation, 6);
    EXPECT_EQ(maple[0].facts.taken_at, "2026-03-04T09:15:27");

    ASSERT_TRUE(at_ben.detach(project_id(*ben, "Maple"), photo.sha256));
    ASSERT_TRUE(sync(*ben).ok);
    ASSERT_TRUE(sync(*anna).ok);
    EXPECT_TRUE(at_anna.list(project_id(*anna, "Maple")).value().empty());
    EXPECT_EQ(at_anna.list(project_id(*anna, "Elm")).value().size(), 1U);
    EXPECT_EQ(project_texts(*anna), project_texts(*ben));
}

TEST_F(TeamParts, SamePartChangedOnBothSidesIsRefusedAndResolvedByKey) {
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    add(*anna, 1);
    ASSERT_TRUE(ProjectStore(*anna).create(named("Elm")));
    ASSERT_TRUE(ProjectStore(*ben).create(named("Elm"))); // the same, made before Ben synced
    ASSERT_TRUE(sync(*anna).ok);
    ASSERT_TRUE(sync(*ben).ok);
    std::int64_t linked = 0;
    ASSERT_TRUE(test::archive_db(*ben).query_int("SELECT count(*) FROM sync_projects", linked));
    EXPECT_EQ(linked, 1); // met by name, agreed on every part: linked once and for all
    ProjectStore at_anna(*anna);
    ProjectStore at_ben(*ben);
    const std::int64_t elm_a = project_id(*anna, "Elm");
    const std::int64_t elm_b = project_id(*ben, "Elm");
    RefusedChoices choices;
    for (std::size_t i = 0; i < std::size(kEdits); ++i) {
        ASSERT_TRUE(kEdits[i].edit(at_anna, elm_a, 2)) << kEdits[i].part;
        ASSERT_TRUE(kEdits[i].edit(at_ben, elm_b, 3)) << kEdits[i].part;
        choices.by_key["project/Elm/" + std::string(kEdits[i].part)] =
            i % 2 ? RefusedPolicy::Drop : RefusedPolicy::Reapply;
    }
    ASSERT_TRUE(sync(*anna).ok);
    const PartTexts before = project_texts(*ben).at("Elm");
    const SyncReport refused = sync(*ben);
    ASSERT_EQ(refused.refused.size(), std::size(kEdits));
    for (std::size_t i = 0; i < std::size(kEdits); ++i) {
        const RefusedEdit& r = refused.refused[i];
        EXPECT_EQ(r.key, "project/Elm/" + std::string(kEdits[i].part));
        EXPECT_EQ(r.what, "Project \u201cElm\u201d: " + std::string(kEdits[i].part));
        EXPECT_EQ(r.mine_text, before[i]);
        EXPECT_EQ(r.theirs_text, project_texts(*anna).at("Elm")[i]);
    }
    EXPECT_EQ(project_texts(*ben).at("Elm"), before); // kept, nothing overwritten
    // One key resolved alone; then each by its own choice.
    RefusedChoices one;
    one.by_key["project/Elm/legend"] = RefusedPolicy::Drop;
    EXPECT_EQ(sync(*ben, one).refused.size(), std::size(kEdits) - 1);
    const SyncReport resolved = sync(*ben, choices);
    ASSERT_TRUE(resolved.ok && resolved.refused.empty()) << resolved.error;
    ASSERT_TRUE(sync(*anna).ok);
    const PartTexts merged = project_texts(*ben).at("Elm");
    EXPECT_EQ(project_texts(*anna).at("Elm"), merged);
    for (std::size_t i = 0; i < std::size(kEdits); ++i) {
        EXPECT_EQ(merged[i], i % 2 || i == 5 ? project_texts(*anna).at("Elm")[i] : before[i])
            << kEdits[i].part;
    }
    // Both change a part to the same value: that is what they last agreed on, so a later change
    // on one side is taken by the other, not refused.
    ASSERT_TRUE(kEdits[5].edit(at_anna, elm_a, 9) && kEdits[5].edit(at_ben, elm_b, 9));
    ASSERT_TRUE(sync(*ben).ok && sync(*anna).ok);
    ASSERT_TRUE(kEdits[5].edit(at_anna, elm_a, 10) && sync(*anna).ok);
    const SyncReport later = sync(*ben);
    EXPECT_TRUE(later.ok && later.refused.empty());
    EXPECT_EQ(project_texts(*ben).at("Elm")[5], "MISC1 = fan 10\n");
}

// A sync cut off between the server's commit and this archive's (a write of the sync's records
// refused here) leaves no edit refused against this laptop's own earlier push; a pull cut off
// within a project leaves nothing of it.
TEST_F(TeamParts, SyncCutAfterTheServersCommitLeavesNoFalseRefusal) {
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    add(*anna, 1);
    ProjectStore at_anna(*anna);
    const auto kit = at_anna.create(named("Kit"));
    ASSERT_TRUE(kit);
    for (const PartEdit& e : kEdits) {
        ASSERT_TRUE(e.edit(at_anna, *kit, 1)) << e.part;
    }
    ASSERT_TRUE(sync(*anna).ok);
    const auto cut = [](VisitArchive& archive, const char* table, const char* when) {
        return test::archive_db(archive).exec(
            std::string("CREATE TEMP TRIGGER cut BEFORE INSERT ON ") + table + " " + when +
            " BEGIN SELECT RAISE(ABORT, 'cut off'); END");
    };
    ASSERT_TRUE(kEdits[5].edit(at_anna, *kit, 2));
    ASSERT_TRUE(cut(*anna, "sync_projects", "WHEN NEW.key NOT LIKE 'pending/%'"));
    EXPECT_FALSE(sync(*anna).ok);
    ASSERT_TRUE(test::archive_db(*anna).exec("DROP TRIGGER cut"));
    EXPECT_EQ(scalar("SELECT name FROM project_legend"), "fan 2");
    ASSERT_TRUE(kEdits[5].edit(at_anna, *kit, 3));
    const SyncReport again = sync(*anna);
    EXPECT_TRUE(again.ok && again.refused.empty()) << again.error << again.refused.size();
    EXPECT_EQ(scalar("SELECT name FROM project_legend"), "fan 3");
    // The same for a job's title.
    const std::int64_t visit = anna->list_visits("", 0, 1).value()[0].id;
    ASSERT_TRUE(anna->set_annotations(visit, RecordKind::Mc, 1, "Hall 2", ""));
    ASSERT_TRUE(cut(*anna, "sync_titles", "WHEN NEW.kind NOT LIKE 'pending/%'"));
    EXPECT_FALSE(sync(*anna).ok);
    ASSERT_TRUE(test::archive_db(*anna).exec("DROP TRIGGER cut"));
    ASSERT_TRUE(anna->set_annotations(visit, RecordKind::Mc, 1, "Hall 3", ""));
    const SyncReport titled = sync(*anna);
    EXPECT_TRUE(titled.ok && titled.refused.empty()) << titled.error << titled.refused.size();
    EXPECT_EQ(scalar("SELECT count(*) FROM jobs WHERE title = 'Hall 3'::bytea"), "1");

    ASSERT_TRUE(cut(*ben, "project_legend", ""));
    EXPECT_FALSE(sync(*ben).ok);
    EXPECT_TRUE(ProjectStore(*ben).list()->empty());
    ASSERT_TRUE(test::archive_db(*ben).exec("DROP TRIGGER cut"));
    const SyncReport pulled = sync(*ben);
    EXPECT_TRUE(pulled.ok && pulled.refused.empty()) << pulled.error << pulled.refused.size();
    EXPECT_EQ(project_texts(*ben), project_texts(*anna));
}

// What the server refuses of one project (a rename onto a name another laptop created, a name
// that is no UTF-8, a revision at its end) is that project's refused edit, as a job's title at
// its last revision is that job's; the others sync.
TEST_F(TeamParts, OneProjectRefusedByTheServerStopsNoOther) {
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    add(*anna, 1);
    const VisitSummary visit = anna->list_visits("", 0, 1).value()[0];
    ProjectStore at_anna(*anna);
    for (const char* name : {"Oak", "Ash", "Max"}) {
        ASSERT_TRUE(at_anna.create(named(name)));
    }
    ASSERT_TRUE(sync(*anna).ok);
    ASSERT_TRUE(ProjectStore(*ben).create(named("Pine")));
    ASSERT_TRUE(sync(*ben).ok);
    ProjectDetails pine = named("Pine");
    ASSERT_TRUE(at_anna.update_details(project_id(*anna, "Oak"), pine));
    ASSERT_TRUE(at_anna.create(named("Bad \xff")));
    for (const char* name : {"Ash", "Max"}) {
        ASSERT_TRUE(kEdits[5].edit(at_anna, project_id(*anna, name), 4));
    }
    ASSERT_TRUE(db.exec("UPDATE projects SET revision = 9223372036854775807 WHERE name = 'Max'"));
    ASSERT_TRUE(anna->set_annotations(visit.id, RecordKind::Mc, 1, "Hall", ""));
    ASSERT_TRUE(db.exec("UPDATE jobs SET revision = 9223372036854775807"));
    const SyncReport report = sync(*anna);
    EXPECT_TRUE(report.ok) << report.error;
    std::set<std::string> keys;
    for (const RefusedEdit& r : report.refused) {
        keys.insert(r.key);
    }
    EXPECT_EQ(keys,
              (std::set<std::string>{"project/Bad \xff", "project/Max/legend", "project/Pine",
                                     "project/Pine/details", "visit/" + visit.sha256 + "/mc/1"}));
    EXPECT_EQ(scalar("SELECT string_agg(p.name || ' ' || l.name, ',') FROM project_legend l "
                     "JOIN projects p ON p.key = l.project"),
              "Ash fan 4");
}

TEST_F(TeamParts, DeletionTravelsUnlessTheOtherSideChangedIt) {
    const struct {
        const char* name;
        bool ben_deletes;   // else Anna deletes
        bool other_changes; // the other side changed the project before the deletion reached it
        RefusedPolicy policy;
        bool on_server, at_anna, at_ben; // held at the end (on the server: not marked deleted)
    } cases[] = {
        {"plain here", false, false, RefusedPolicy::Keep, false, false, false},
        {"plain there", true, false, RefusedPolicy::Keep, false, false, false},
        {"here, changed there, kept", false, true, RefusedPolicy::Keep, true, false, true},
        {"here, changed there, reapplied", false, true, RefusedPolicy::Reapply, false, false,
         false},
        {"here, changed there, dropped", false, true, RefusedPolicy::Drop, true, true, true},
        {"there, changed here, kept", true, true, RefusedPolicy::Keep, false, true, false},
        {"there, changed here, reapplied", true, true, RefusedPolicy::Reapply, true, true, true},
        {"there, changed here, dropped", true, true, RefusedPolicy::Drop, false, false, false},
    };
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    for (const auto& c : cases) {
        ASSERT_TRUE(ProjectStore(*anna).create(named(c.name)));
    }
    ASSERT_TRUE(sync(*anna).ok);
    ASSERT_TRUE(sync(*ben).ok);
    for (const auto& c : cases) {
        ProjectStore deleter(c.ben_deletes ? *ben : *anna);
        ProjectStore other(c.ben_deletes ? *anna : *ben);
        if (c.other_changes) {
            ASSERT_TRUE(kEdits[5].edit(other, other.find(c.name).value()->id, 4));
        }
        ASSERT_TRUE(deleter.remove(deleter.find(c.name).value()->id));
    }
    // Ben goes first: his deletions and changes reach the server before Anna's.
    SyncReport b = sync(*ben);
    SyncReport a = sync(*anna);
    ASSERT_TRUE(a.ok && b.ok) << a.error << b.error;
    std::map<std::string, const RefusedEdit*> refused;
    for (const RefusedEdit& r : a.refused) {
        refused[r.key] = &r;
    }
    ASSERT_EQ(refused.size(), 6u);
    const RefusedEdit& here = *refused["project/here, changed there, kept"];
    EXPECT_EQ(here.mine_text, "(deleted)");
    EXPECT_EQ(here.reason, "deleted here, changed on the server");
    EXPECT_NE(here.theirs_text.find("legend:\n  MISC1 = fan 4\n"), std::string::npos);
    const RefusedEdit& there = *refused["project/there, changed here, kept"];
    EXPECT_EQ(there.theirs_text, "(deleted)");
    EXPECT_EQ(there.reason, "changed here, deleted on the server");
    RefusedChoices choices;
    for (const auto& c : cases) {
        choices.by_key["project/" + std::string(c.name)] = c.policy;
    }
    a = sync(*anna, choices);
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.refused.size(), 2u);
    ASSERT_TRUE(sync(*ben).ok);
    for (const auto& c : cases) {
        const PgParam name = PgParam::text(c.name);
        const auto live =
            db.query("SELECT deleted_at IS NULL FROM projects WHERE name = $1", {&name, 1});
        ASSERT_TRUE(live && live->rows() == 1) << c.name;
        EXPECT_EQ(live->text(0, 0), c.on_server ? "t" : "f") << c.name;
        EXPECT_EQ(ProjectStore(*anna).find(c.name).value().has_value(), c.at_anna) << c.name;
        EXPECT_EQ(ProjectStore(*ben).find(c.name).value().has_value(), c.at_ben) << c.name;
    }
}

// The notes of a job of the archive's first visit.
std::string notes_of(VisitArchive& archive, RecordKind kind, int number) {
    const std::vector<VisitSummary> visits = archive.list_visits("", 0, 1).value();
    for (const ArchivedJob& job : visits.at(0).jobs) {
        if (job.kind == kind && job.number == number) {
            return job.notes;
        }
    }
    return "(no such job)";
}

TEST_F(TeamParts, TitlesEditedAfterThePushTravelBothWays) {
    // A database whose bytes come out escaped by default gives the titles back as typed.
    ASSERT_TRUE(db.exec("ALTER DATABASE postgres SET bytea_output = 'escape'"));
    db = cluster.connect();
    auto anna = open("anna.sqlite");
    auto ben = open("ben.sqlite");
    add(*anna, 1);
    const std::int64_t at_anna = anna->list_visits("", 0, 1).value()[0].id;
    ASSERT_TRUE(anna->set_annotations(at_anna, RecordKind::Mc, 1, "", "n\xE9 \\ ''"));
    ASSERT_TRUE(sync(*anna).ok);
    ASSERT_TRUE(sync(*ben).ok);
    const std::int64_t at_ben = ben->list_visits("", 0, 1).value()[0].id;
    EXPECT_EQ(notes_of(*ben, RecordKind::Mc, 1), "n\xE9 \\ ''");
    const std::string sha = anna->list_visits("", 0, 1).value()[0].sha256;
    ASSERT_TRUE(anna->set_annotations(at_anna, RecordKind::Mc, 1, "Kitchen", "wet"));
    ASSERT_TRUE(ben->set_annotations(at_ben, RecordKind::Rh, 3, "Caf\xE9", "dry"));
    EXPECT_EQ(sync(*anna).titles_pushed, 1u);
    SyncReport b = sync(*ben);
    EXPECT_EQ(b.titles_pushed + b.titles_pulled, 2u);
    EXPECT_EQ(sync(*anna).titles_pulled, 1u);
    EXPECT_EQ(notes_of(*ben, RecordKind::Mc, 1), "wet");
    EXPECT_EQ(notes_of(*anna, RecordKind::Rh, 3), "dry");
    EXPECT_EQ(scalar("SELECT revision FROM jobs WHERE kind = 1 AND number = 1"), "2");

    // Both edit the same job's notes: refused, shown readable, resolved by key.
    ASSERT_TRUE(anna->set_annotations(at_anna, RecordKind::Mc, 1, "Kitchen", "Anna's"));
    ASSERT_TRUE(ben->set_annotations(at_ben, RecordKind::Mc, 1,
                                     "K\xFC"
                                     "che",
                                     "Ben's"));
    ASSERT_TRUE(sync(*anna).ok);
    b = sync(*ben);
    ASSERT_EQ(b.refused.size(), 1u);
    const std::string key = "visit/" + sha + "/mc/1";
    EXPECT_EQ(b.refused[0].key, key);
    EXPECT_EQ(b.refused[0].mine_text, "title: K\u00FCche\nnotes: Ben's");
    EXPECT_EQ(b.refused[0].theirs_text, "title: Kitchen\nnotes: Anna's");
    EXPECT_EQ(notes_of(*ben, RecordKind::Mc, 1), "Ben's"); // kept
    RefusedChoices reapply;
    reapply.by_key[key] = RefusedPolicy::Reapply;
    ASSERT_TRUE(sync(*ben, reapply).refused.empty());
    ASSERT_TRUE(sync(*anna).ok);
    EXPECT_EQ(notes_of(*anna, RecordKind::Mc, 1), "Ben's");
}

// A server made by the first schema, rows written by hand, then brought forward.
TEST_F(TeamParts, ServerOfTheFirstSchemaWithRowsByHandIsBroughtForward) {
    ASSERT_TRUE(db.exec("DROP SCHEMA public CASCADE; CREATE SCHEMA public"));
    std::string error;
    ASSERT_TRUE(migrate_server(db, error, 1)) << error;
    ASSERT_EQ(server_schema_version(db), 1);
    ASSERT_TRUE(db.exec(R"sql(
CREATE ROLE quellmark_technician NOLOGIN;
CREATE ROLE anna LOGIN IN ROLE quellmark_technician;
GRANT USAGE ON SCHEMA public TO quellmark_technician;
GRANT SELECT ON schema_version TO quellmark_technician;
GRANT SELECT, INSERT ON visits, jobs, readings TO quellmark_technician;
GRANT SELECT, INSERT, UPDATE ON projects TO quellmark_technician;
GRANT SELECT, INSERT, DELETE ON project_jobs TO quellmark_technician;
INSERT INTO projects VALUES ('k1', 3, 'Birch', 'Doe', '', '', NULL, NULL, NULL, '');
)sql")) << db.error();
    ASSERT_TRUE(migrate_server(db, error)) << error;
    EXPECT_EQ(server_schema_version(db), kServerSchemaVersion);
    EXPECT_EQ(scalar("SELECT revision || ' ' || (deleted_at IS NULL) FROM projects"), "3 true");

    auto archive = open();
    ASSERT_TRUE(sync(*archive).ok);
    ProjectStore store(*archive);
    ASSERT_TRUE(kEdits[4].edit(store, project_id(*archive, "Birch"), 2));
    PgDb anna = cluster.connect("anna"); // the technician's rights on the new tables
    const SyncReport pushed = sync(*archive, anna);
    ASSERT_TRUE(pushed.ok) << pushed.error;
    EXPECT_EQ(scalar("SELECT revision || ' ' || (SELECT count(*) FROM project_equipment) FROM "
                     "projects"),
              "4 1");
}

// An archive of version 2 as an earlier run left it: a project, and the bookkeeping of its sync
// made then (details and jobs alone).
TEST_F(TeamParts, ArchiveOfVersion2KeepsItsSyncBookkeeping) {
    ASSERT_TRUE(db.exec("INSERT INTO projects VALUES ('k1', 5, 'Oak', 'Kim', '', '', NULL, 2, "
                        "NULL, 'n')"));
    test::run_sql(path(), std::string(kArchiveMigrations[0]) + std::string(kArchiveMigrations[1]) +
                              R"sql(
INSERT INTO projects (id, name, client, category, notes) VALUES (4, 'Oak', 'Kim', 2, 'n');
CREATE TABLE sync_projects (project INTEGER PRIMARY KEY REFERENCES projects(id) ON DELETE CASCADE,
    key TEXT NOT NULL UNIQUE, revision INTEGER NOT NULL, name TEXT NOT NULL, client TEXT NOT NULL,
    site TEXT NOT NULL, claim TEXT NOT NULL, loss_date INTEGER, category INTEGER,
    water_class INTEGER, notes TEXT NOT NULL, jobs TEXT NOT NULL);
INSERT INTO sync_projects VALUES (4, 'k1', 5, 'Oak', 'Kim', '', '', NULL, 2, NULL, 'n', '');
CREATE TABLE sync_pulling (sha256 TEXT PRIMARY KEY);
PRAGMA user_version = 2;
)sql");
    auto archive = open();
    std::int64_t version = 0;
    ASSERT_TRUE(test::archive_db(*archive).query_int("PRAGMA user_version", version));
    EXPECT_EQ(version, kArchiveSchemaVersion);
    ProjectStore store(*archive);
    ASSERT_TRUE(kEdits[0].edit(store, 4, 1));
    const SyncReport report = sync(*archive);
    ASSERT_TRUE(report.ok && report.refused.empty()) << report.error;
    EXPECT_EQ(report.projects_pushed, 1u);
    EXPECT_EQ(scalar("SELECT key || ' ' || revision || ' ' || client FROM projects"),
              "k1 6 client 1");
    ASSERT_TRUE(store.remove(4)); // the bookkeeping keeps the deletion
    ASSERT_TRUE(sync(*archive).ok);
    EXPECT_EQ(scalar("SELECT deleted_at IS NOT NULL FROM projects"), "t");
}

} // namespace
} // namespace qm
