#pragma once

// A team server for one test (a PostgreSQL cluster of its own, the schema made) and archives in
// a folder of the test's own; what a test needs to sync them and compare what they hold.

#include "sync/project_parts.h"
#include "sync/server_schema.h"
#include "sync/team_sync.h"

#include "support/archive_fixture.h"
#include "support/pg_cluster.h"

#include <functional>
#include <map>
#include <set>

namespace qm::test {

struct Recorder : SyncObserver {
    std::function<void(std::string_view, std::size_t)> on_progress;
    bool cancel = false;
    void progress(std::string_view step, std::size_t done, std::size_t) override {
        if (on_progress) {
            on_progress(step, done);
        }
    }
    bool cancelled() override { return cancel; }
};

struct TeamSync : ArchiveFolder {
    PgCluster cluster;
    PgDb db;

    void SetUp() override {
        ArchiveFolder::SetUp();
        ASSERT_TRUE(cluster.ok()) << cluster.error();
        db = cluster.connect();
        std::string error;
        ASSERT_TRUE(migrate_server(db, error)) << error;
    }

    SyncReport sync(VisitArchive& archive, PgDb& server, SyncObserver* observer = nullptr,
                    const RefusedChoices& choices = RefusedPolicy::Keep) {
        Recorder quiet;
        return sync_archive(server, archive, observer != nullptr ? *observer : quiet, choices);
    }
    SyncReport sync(VisitArchive& archive, const RefusedChoices& choices = RefusedPolicy::Keep) {
        return sync(archive, db, nullptr, choices);
    }
    std::string scalar(const std::string& sql) {
        const auto r = db.query(sql, {});
        EXPECT_TRUE(r && r->rows() == 1) << db.error();
        return r && r->rows() == 1 ? r->text(0, 0) : "";
    }
    static std::set<std::string> shas(VisitArchive& archive) {
        std::set<std::string> out;
        const Result<std::vector<VisitSummary>> visits = archive.all_visits();
        for (const VisitSummary& v : visits.value()) {
            out.insert(v.sha256);
        }
        return out;
    }
    static void add(VisitArchive& archive, int variant) {
        ASSERT_EQ(archive_source(archive, test::variant_stream(variant), received_now()).status,
                  AddVisitResult::Status::Added);
    }
};

// Every part of every project of an archive, by name: what a team must agree on.
inline std::map<std::string, PartTexts> project_texts(VisitArchive& archive) {
    ProjectStore store(archive);
    const Result<VisitIndex> visits = index_visits(archive.all_visits().value(), store, nullptr);
    std::map<std::string, PartTexts> out;
    const Result<std::vector<ProjectSummary>> projects = store.list();
    for (const ProjectSummary& p : projects.value()) {
        const Result<ProjectParts> parts = local_parts(store, p, visits.value());
        out[p.details.name] = parts ? parts->texts() : PartTexts{};
    }
    return out;
}

} // namespace qm::test
