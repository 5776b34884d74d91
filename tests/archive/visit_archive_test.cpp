#include "archive/visit_archive.h"

#include "archive/archive_schema.h"
#include "archive/visit_input.h"
#include "archive/visit_loading.h"
#include "files/csv_export.h"
#include "files/save_file.h"
#include "support/archive_access.h"
#include "support/archive_fixture.h"
#include "support/unprivileged.h"
#include "text/reading_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/mount.h>
#include <sys/stat.h>

#include <climits>
#include <tuple>

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::ArchiveFolder;
using test::decode_visit;
using test::DecodedVisit;
using test::run_sql;
using test::sample_stream;
using Bytes = std::vector<std::uint8_t>;

using VisitArchiveTest = ArchiveFolder;

// What the program writes of a loaded data set: every job's CSV and ".qmk" bytes.
std::vector<std::string> outputs(const DecodedVisit& v) {
    std::vector<std::string> out;
    const SaveFileHeader header = make_save_header({}, {}, v.meter, *v.store);
    for (std::int32_t job = 1; job <= kMaxJobs; ++job) {
        out.push_back(export_csv(*v.store, v.meter, job, 0, 0));
        const Bytes save =
            encode_save(header, v.meter, v.store->all_readings, job, v.store->annotations);
        out.emplace_back(save.begin(), save.end());
    }
    return out;
}

// A download and a ".qmk" (with a title and notes of its own) come back from the archive as
// they went in, with the titles and notes the archive was given since.
TEST_F(VisitArchiveTest, VisitReopensAsItsSourceLoads) {
    DecodedVisit download = decode_visit(sample_stream());
    download.store->annotations.set_title(RecordKind::Mc, 1, "Kitchen");
    const Bytes save =
        encode_save(make_save_header({}, {}, download.meter, *download.store), download.meter,
                    download.store->all_readings, 1, download.store->annotations);
    const std::unique_ptr<VisitArchive> archive = open();
    ASSERT_TRUE(archive);
    for (const Bytes& source : {sample_stream(), save}) {
        DecodedVisit original = decode_visit(source);
        ASSERT_TRUE(original.decoded.ok);
        const AddVisitResult added = archive_source(*archive, source, received_now());
        ASSERT_EQ(added.status, AddVisitResult::Status::Added) << added.error;
        ASSERT_TRUE(archive->set_annotations(added.visit_id, RecordKind::Mc, 1, "North wall",
                                             "Damp\r\nRecheck"));
        original.store->annotations.set_title(RecordKind::Mc, 1, "North wall");
        original.store->annotations.set_notes(RecordKind::Mc, 1, "Damp\r\nRecheck");

        DecodedVisit reopened;
        reopened.decoded = open_visit(*archive, added.visit_id, *reopened.store, reopened.meter,
                                      *reopened.records, reopened.selection);
        ASSERT_TRUE(reopened.decoded.ok) << reopened.decoded.error;
        EXPECT_EQ(reopened.decoded.kind, original.decoded.kind);
        EXPECT_EQ(reopened.store->all_readings, original.store->all_readings);
        EXPECT_EQ(outputs(reopened), outputs(original));
    }
}

TEST_F(VisitArchiveTest, SameBytesAreKeptOnce) {
    const std::unique_ptr<VisitArchive> archive = open();
    const AddVisitResult first = archive_source(*archive, sample_stream(), received_now());
    const AddVisitResult second = archive_source(*archive, sample_stream(), received_now());
    EXPECT_EQ(first.status, AddVisitResult::Status::Added);
    EXPECT_EQ(second.status, AddVisitResult::Status::AlreadyArchived);
    EXPECT_EQ(second.visit_id, first.visit_id);
    EXPECT_EQ(archive->count_visits("").value(), 1);
    EXPECT_EQ(archive->check().value().readings, 13);
}

// The rows of the sample download: what a reading of each kind keeps.
TEST_F(VisitArchiveTest, ReadingsBecomeRows) {
    const std::unique_ptr<VisitArchive> archive = open();
    const DecodedVisit v = decode_visit(sample_stream());
    const AddVisitResult added = archive->add_visit(sample_stream(), VisitSource::Download,
                                                    {1700000000, 3600}, *v.store, v.meter);
    const std::vector<ArchivedReading> rows = archive->visit_readings(added.visit_id).value();
    ASSERT_EQ(rows.size(), v.store->all_readings.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Reading& r = v.store->all_readings[i];
        EXPECT_EQ(rows[i].job, r.job);
        EXPECT_EQ(rows[i].clock_minute, reading_minute(r));
        EXPECT_EQ(rows[i].value, is_rh(r) ? r.rh : r.mc);
        EXPECT_EQ(rows[i].temperature.has_value(), r.kind != Scan);
        if (is_rh(r)) {
            EXPECT_EQ(rows[i].temperature, r.temperature);
        } else if (r.kind != Scan) {
            EXPECT_EQ(rows[i].temperature, r.pin_temperature);
        }
    }
    const VisitSummary visit = archive->find_visit(added.visit_id).value().value();
    EXPECT_EQ(iso8601(visit.received), "2023-11-14T23:13:20+01:00");
    EXPECT_EQ(visit.meter, "TRK 200");
    EXPECT_EQ(visit.sha256.size(), 64U);
    ASSERT_EQ(visit.jobs.size(), 4U); // MC 1, MC 2, RH/T 1, RH/T 3
    EXPECT_EQ(visit.jobs[1].number, 2);
    EXPECT_EQ(visit.jobs[1].id, 42);
    EXPECT_EQ(visit.jobs[1].readings, 3);
    EXPECT_EQ(visit.jobs[3].kind, RecordKind::Rh);
}

// An archive of version 1 laid down by hand, as a file of an earlier run holds it.
constexpr const char* kVersion1Rows = R"sql(
INSERT INTO visits VALUES (7, 'a12871fee210fb8619291eaea194581cbd2531e4b23759d225f6806923f63222',
    1600000000, -18000, 'download', x'54524B20414C4641', 2);
INSERT INTO visit_sources VALUES (7, x'0102');
INSERT INTO jobs VALUES (7, 'rh', 3, 115, 1, x'4E6F727468', x'610D0A62');
INSERT INTO jobs VALUES (7, 'mc', 1, 7, 1, x'', x'');
INSERT INTO readings VALUES (7, 0, 1, 3, 5, 0, 2, 45.6, NULL, 9, 5, 12, 73, 5, 4872605);
INSERT INTO readings VALUES (7, 1, 3, 1, 4, 0, 0, 50.1, 68.0, 9, 5, 13, 20, 15, 4873455);
PRAGMA user_version = 1;
)sql";

TEST_F(VisitArchiveTest, ReadsAnArchiveOfVersion1) {
    run_sql(path(), std::string(kArchiveMigrations[0]) + kVersion1Rows);
    const std::unique_ptr<VisitArchive> archive = open();
    const std::vector<VisitSummary> visits = archive->list_visits("", 0, 10).value();
    ASSERT_EQ(visits.size(), 1U);
    EXPECT_EQ(visits[0].id, 7);
    EXPECT_EQ(iso8601(visits[0].received), "2020-09-13T07:26:40-05:00");
    EXPECT_EQ(visits[0].meter, "TRK ALFA");
    EXPECT_EQ(visits[0].source, VisitSource::Download);
    ASSERT_EQ(visits[0].jobs.size(), 2U);
    EXPECT_EQ(visits[0].jobs[0].kind, RecordKind::Mc);
    EXPECT_EQ(visits[0].jobs[1].title, "North");
    EXPECT_EQ(visits[0].jobs[1].notes, "a\r\nb");
    const std::vector<ArchivedReading> rows = archive->visit_readings(7).value();
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0].kind, Scan);
    EXPECT_FALSE(rows[0].temperature);
    EXPECT_EQ(rows[1].temperature, 68.0);
    EXPECT_EQ(rows[1].clock_minute, 4873455);
    Bytes bytes;
    VisitSource kind = VisitSource::File;
    ASSERT_TRUE(archive->read_source(7, bytes, kind));
    EXPECT_EQ(bytes, (Bytes{1, 2}));
    EXPECT_EQ(kind, VisitSource::Download);
    EXPECT_TRUE(archive->check().value().ok());
}

TEST_F(VisitArchiveTest, NewerSchemaIsOpenedReadOnly) {
    run_sql(path(), std::string(kArchiveMigrations[0]) + kVersion1Rows +
                        "ALTER TABLE visits ADD COLUMN site TEXT; PRAGMA user_version = " +
                        std::to_string(kArchiveSchemaVersion + 1) + ";");
    const OpenedArchive opened = open_archive(path());
    ASSERT_TRUE(opened.archive);
    EXPECT_TRUE(opened.archive->read_only());
    EXPECT_NE(opened.message.find(path()), std::string::npos);
    EXPECT_NE(opened.message.find("newer version"), std::string::npos);
    EXPECT_EQ(opened.archive->count_visits("").value(), 1);
    EXPECT_EQ(archive_source(*opened.archive, sample_stream(), received_now()).status,
              AddVisitResult::Status::Failed);
}

// What cannot be used is said once, with the file and the reason, and is never written.
TEST_F(VisitArchiveTest, UnusableArchivesAreNamedAndLeftAlone) {
    run_sql(path("other.sqlite"), "CREATE TABLE t (x); INSERT INTO t VALUES (1);");
    test::write_file(path("damaged.sqlite"), Bytes(4096, 0x5A));
    fs::create_directory(path("folder.sqlite"));
    test::write_file(path("locked.sqlite"), {});
    fs::permissions(path("locked.sqlite"), fs::perms::owner_read);
    const struct {
        const char* name;
        const char* reason;
        bool unprivileged;
    } cases[] = {
        {"other.sqlite", "a database of another program", false},
        {"damaged.sqlite", "file is not a database", false},
        {"folder.sqlite", "Is a directory", false},
        {"locked.sqlite", "Permission denied", true},
    };
    for (const auto& c : cases) {
        const Bytes before =
            fs::is_regular_file(path(c.name)) ? test::read_file(path(c.name)) : Bytes{};
        const auto check = [&] {
            const OpenedArchive opened = open_archive(path(c.name));
            return opened.archive                                           ? 1
                   : opened.message.find(path(c.name)) == std::string::npos ? 2
                   : opened.message.find(c.reason) == std::string::npos     ? 3
                                                                            : 0;
        };
        EXPECT_EQ(c.unprivileged ? test::run_unprivileged(check) : check(), 0) << c.name;
        if (fs::is_regular_file(path(c.name))) {
            EXPECT_EQ(test::read_file(path(c.name)), before) << c.name;
        }
    }
    EXPECT_FALSE(fs::exists(path("damaged.sqlite-wal")));
}

TEST_F(VisitArchiveTest, CreatedReadableByTheOwnerOnly) {
    const mode_t old_mask = ::umask(0);
    const OpenedArchive opened = open_archive(path("new/folders/archive.sqlite"));
    ::umask(old_mask);
    ASSERT_TRUE(opened.archive) << opened.message;
    for (const char* name : {"new", "new/folders"}) {
        EXPECT_EQ(fs::status(path(name)).permissions(), fs::perms::owner_all) << name;
    }
    archive_source(*opened.archive, sample_stream(), received_now());
    for (const char* name : {"new/folders/archive.sqlite", "new/folders/archive.sqlite-wal"}) {
        EXPECT_EQ(fs::status(path(name)).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write)
            << name;
    }
}

TEST(ArchivePath, FromTheEnvironment) {
    const struct {
        const char* archive;
        const char* data_home;
        const char* expected;
    } cases[] = {
        {"/a/b.sqlite", "/x", "/a/b.sqlite"},
        {"", "/x", "/x/quellmark/archive.sqlite"},
        {nullptr, nullptr, "/home/t/.local/share/quellmark/archive.sqlite"},
        {nullptr, "relative", "/home/t/.local/share/quellmark/archive.sqlite"},
    };
    const auto set = [](const char* name, const char* value) {
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    };
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    for (const auto& c : cases) {
        set("QUELLMARK_ARCHIVE", c.archive);
        set("XDG_DATA_HOME", c.data_home);
        ::setenv("HOME", "/home/t", 1);
        EXPECT_EQ(default_archive_path(), c.expected);
    }
    ::unsetenv("QUELLMARK_ARCHIVE");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", home.c_str(), 1);
}

TEST_F(VisitArchiveTest, FilterRemoveAndCheck) {
    const std::unique_ptr<VisitArchive> archive = open();
    std::vector<std::int64_t> ids;
    for (int n = 1; n <= 3; ++n) {
        DecodedVisit v = decode_visit(test::variant_stream(n));
        ids.push_back(archive
                          ->add_visit(test::variant_stream(n), VisitSource::Download, {1000 * n, 0},
                                      *v.store, v.meter)
                          .visit_id);
    }
    archive->set_annotations(ids[0], RecordKind::Rh, 3, "Basement Stairs", "");
    const struct {
        const char* filter;
        std::int64_t count;
    } cases[] = {{"", 3}, {"trk 002", 1}, {"stairs", 1}, {"042", 3}, {"115", 3}, {"116", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(archive->count_visits(c.filter).value(), c.count) << c.filter;
        EXPECT_EQ(archive->list_visits(c.filter, 0, 10).value().size(),
                  static_cast<std::size_t>(c.count));
    }
    const std::vector<VisitSummary> newest = archive->list_visits("", 0, 2).value();
    ASSERT_EQ(newest.size(), 2U);
    EXPECT_EQ(newest[0].id, ids[2]);
    EXPECT_EQ(archive->list_visits("", 2, 2).value().at(0).id, ids[0]);
    EXPECT_FALSE(archive->set_annotations(ids[0], RecordKind::Rh, 2, "No such job", ""));
    EXPECT_TRUE(archive->remove_visit(ids[1]));
    EXPECT_FALSE(archive->remove_visit(ids[1]));
    const ArchiveCheck check = archive->check().value();
    EXPECT_TRUE(check.ok());
    EXPECT_EQ(check.visits, 2);
    EXPECT_EQ(check.readings, 26);
}

// A visit whose bytes no longer match their SHA-256, or are gone, is named by the check and
// never handed out; a read that fails is an error, never an empty archive.
TEST_F(VisitArchiveTest, DamageAndFailedReadsAreSaid) {
    const std::unique_ptr<VisitArchive> archive = open();
    std::vector<std::int64_t> ids;
    for (int n = 1; n <= 3; ++n) {
        ids.push_back(archive_source(*archive, test::variant_stream(n), received_now()).visit_id);
    }
    SqliteDb& db = test::archive_db(*archive);
    ASSERT_TRUE(db.exec("UPDATE visit_sources SET bytes = x'00' || bytes WHERE visit_id = " +
                        std::to_string(ids[0])));
    ASSERT_TRUE(db.exec("DELETE FROM visit_sources WHERE visit_id = " + std::to_string(ids[1])));
    const ArchiveCheck check = archive->check().value();
    EXPECT_FALSE(check.ok());
    EXPECT_EQ(check.damaged_visits, std::vector<std::int64_t>{ids[0]});
    EXPECT_EQ(check.sourceless_visits, std::vector<std::int64_t>{ids[1]});
    Bytes bytes;
    VisitSource kind = VisitSource::File;
    EXPECT_NE(archive->read_source(ids[0], bytes, kind).error().find("no longer match"),
              std::string::npos);
    EXPECT_NE(archive->read_source(ids[1], bytes, kind).error().find("gone"), std::string::npos);
    EXPECT_TRUE(archive->read_source(ids[2], bytes, kind));
    EXPECT_EQ(bytes, test::variant_stream(3));

    ASSERT_TRUE(db.exec("ALTER TABLE jobs RENAME TO jobs_away; "
                        "ALTER TABLE readings RENAME TO readings_away"));
    for (const std::string& error :
         {archive->list_visits("", 0, 10).error(), archive->all_visits().error(),
          archive->find_visit(ids[2]).error(), archive->visit_readings(ids[2]).error(),
          archive->check().error()}) {
        EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
    }
}

// What no visit holds is not stored, by any way in, and says why; so is a value over SQLite's
// own length limit.
TEST_F(VisitArchiveTest, WhatNoVisitHoldsIsRefused) {
    const std::unique_ptr<VisitArchive> archive = open();
    const std::string junk = "this is no download\n";
    const ReceivedTime now = received_now();
    const struct {
        Bytes bytes;
        ReceivedTime received;
        const char* reason;
    } cases[] = {
        {Bytes(junk.begin(), junk.end()), now, "hold no readings"},
        {Bytes(kMaxVisitBytes + 1, 0), now, "more than a visit may hold"},
        {sample_stream(), {INT64_MAX, 0}, "not believable"},
        {sample_stream(), {-1, 0}, "not believable"},
        {sample_stream(), {now.utc_seconds, 19 * 3600}, "not believable"},
    };
    for (const auto& c : cases) {
        const AddVisitResult added = archive_source(*archive, c.bytes, c.received);
        EXPECT_EQ(added.status, AddVisitResult::Status::Failed) << c.reason;
        EXPECT_NE(added.error.find(c.reason), std::string::npos) << added.error;
    }
    sqlite3_limit(test::archive_db(*archive).handle(), SQLITE_LIMIT_LENGTH,
                  static_cast<int>(sample_stream().size() - 1));
    const AddVisitResult big = archive_source(*archive, sample_stream(), now);
    EXPECT_NE(big.error.find("too large for the archive"), std::string::npos) << big.error;
    sqlite3_limit(test::archive_db(*archive).handle(), SQLITE_LIMIT_LENGTH, 1'000'000'000);
    EXPECT_EQ(archive->count_visits("").value(), 0);

    const std::int64_t id = archive_source(*archive, sample_stream(), now).visit_id;
    for (const auto& [title, notes, reason] :
         {std::tuple<std::string, std::string, std::string>{std::string(1'000'000, 'T'), "",
                                                            "longer than 259"},
          {"\x1b[2J\x1b]0;x\x07", "", "title holds control characters"},
          {"", std::string(1000, 'N'), "longer than 999"},
          {"", "a\x1b[2Jb", "notes hold control characters"}}) {
        EXPECT_FALSE(archive->set_annotations(id, RecordKind::Mc, 1, title, notes));
        EXPECT_NE(archive->error().find(reason), std::string::npos) << archive->error();
    }
    EXPECT_EQ(archive->find_visit(id).value()->jobs[0].title, "");
}

// An archive this user cannot write, or on a read-only medium, is opened read-only and says so.
TEST_F(VisitArchiveTest, UnwritableArchiveOpensReadOnly) {
    archive_source(*open(), sample_stream(), received_now());
    const auto check = [&] {
        const OpenedArchive opened = open_archive(path());
        const auto visits = opened.archive ? opened.archive->all_visits()
                                           : Result<std::vector<VisitSummary>>(failure(""));
        return !opened.archive                                                          ? 1
               : !opened.archive->read_only()                                           ? 2
               : opened.message.find("opened read-only") == std::string::npos           ? 3
               : !visits || visits->size() != 1                                         ? 4
               : opened.archive->find_visit(visits->at(0).id).value()->jobs.size() != 4 ? 5
                                                                                        : 0;
    };
    fs::permissions(path(), static_cast<fs::perms>(0444));
    EXPECT_EQ(test::run_unprivileged(check), 0);
    if (::geteuid() != 0 || ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=1m,mode=0755") != 0) {
        GTEST_SKIP() << "mounting a read-only tmpfs needs root; the read-only medium was not tried";
    }
    archive_source(*open(), sample_stream(), received_now());
    ASSERT_EQ(::mount("tmpfs", dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_EQ(check(), 0);
    ::umount2(dir.c_str(), MNT_DETACH);
}

} // namespace
} // namespace qm
