#pragma once

// What a drying project holds that a team shares, in seven parts that sync on their own: the
// details, the attached jobs, the points (labels, RH/T roles, removed materials, planned points),
// the standards, the equipment (with its units), the code legend and the photos (their places and
// captions; the bytes travel by SHA-256). Each part has a text, the same for the same content on
// every side: what a sync compares, keeps as the part last synced and shows the user (lines
// separated by '\n').

#include "photos/project_photos.h"
#include "projects/project_store.h"
#include "sync/pg_db.h"

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

enum class ProjectPart { Details, Jobs, Points, Standards, Equipment, Legend, Photos };
constexpr std::size_t kProjectPartCount = 7;
constexpr std::array<ProjectPart, kProjectPartCount> kProjectParts = {
    ProjectPart::Details,   ProjectPart::Jobs,   ProjectPart::Points, ProjectPart::Standards,
    ProjectPart::Equipment, ProjectPart::Legend, ProjectPart::Photos};

// "details", "jobs", "points", "standards", "equipment", "legend", "photos".
std::string_view part_name(ProjectPart part);

using PartTexts = std::array<std::string, kProjectPartCount>;

// A part last synced whose content is not known (a project linked to the server's of the same
// name): it equals no text, so only a part both sides agree on is taken as synced.
inline const std::string kUnknownPart = "?";

struct ProjectParts {
    ProjectDetails details;
    std::vector<std::string> jobs; // "SHA-256/kind/number" (kind 1 MC, 0 RH/T), sorted
    ProjectSettings settings;      // equipment ids are this archive's and not compared
    // The photos by SHA-256, sorted, and the folder of their bytes here (empty for the server's).
    std::vector<std::pair<std::string, PhotoPlace>> photos = {};
    std::string photo_folder = {};

    std::string text(ProjectPart part) const;
    PartTexts texts() const;
};

std::string details_text(const ProjectDetails& details);

// The three fields of a job of the jobs part ("SHA-256/kind/number"), as their texts; nothing
// for a text of fewer fields.
struct JobKeyFields {
    std::string sha256;
    std::string kind;
    std::string number;
};
std::optional<JobKeyFields> split_job_key(std::string_view job);

// A project on the server: `deleted` when a laptop deleted it (its parts are then empty).
struct ServerProject {
    std::string key;
    std::int64_t revision = 0;
    bool deleted = false;
    ProjectParts parts;
    // Why this project cannot be taken here (it fails the checks of local input): a sync
    // leaves it out and says so.
    std::optional<std::string> problem;
};

// The server's projects (all, or the one of `key`), by key; nothing on a failure (db.error()).
std::optional<std::map<std::string, ServerProject>> read_server_projects(PgDb& db,
                                                                         const std::string& key);

// Writes a part of `parts` to the server's project `key` (inside the caller's transaction);
// the details go with the project's row and are not written here.
bool write_server_part(PgDb& db, const std::string& key, ProjectPart part,
                       const ProjectParts& parts);

using PartMask = std::array<bool, kProjectPartCount>;

// How a write on the server ended: written (at the returned revision), lost to another writer
// (the revision changed meanwhile), or failed (db.error()).
struct ServerWrite {
    std::optional<std::int64_t> revision;
    bool lost = false;
};

// Writes the details and the parts `which` names to the server's project `key`, only on
// `revision` (bringing back a project marked deleted there), or with `deleted` marks it deleted
// and empties its parts. One transaction.
ServerWrite write_server_project(PgDb& db, const std::string& key, std::int64_t revision,
                                 const ProjectParts& parts, const PartMask& which, bool deleted);

// A new server project holding every part of `parts`, at revision 1, under a new random key.
std::optional<std::string> insert_server_project(PgDb& db, const ProjectParts& parts,
                                                 std::string& error);

// The archive's visits by id and by SHA-256, and the visits the projects' jobs are attached to
// that this archive lacks and the server holds (deleted here, say).
struct VisitIndex {
    std::map<std::int64_t, std::string> sha;
    std::map<std::string, std::int64_t> id;
    std::set<std::string> on_server;
};
// Indexes `visits` (the archive's); asks `server` (when given) which of the visits missing here
// it holds.
Result<VisitIndex> index_visits(const std::vector<VisitSummary>& visits, ProjectStore& store,
                                PgDb* server);

// A project's parts as this archive holds them. Its jobs part lists the attached jobs whose
// visit is here or on the server: a visit deleted here keeps its jobs in the team's project,
// and a job the server could not hold is never sent.
Result<ProjectParts> local_parts(ProjectStore& store, const ProjectSummary& project,
                                 const VisitIndex& visits);

// Makes the local project's `part` that of `theirs`; returns the text it holds then (the jobs
// part as the server has it, whether their visits are here or not).
Result<std::string> take_part(ProjectStore& store, std::int64_t project, ProjectPart part,
                              const ProjectParts& theirs);

} // namespace qm
