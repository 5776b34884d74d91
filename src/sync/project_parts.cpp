#include "sync/project_parts.h"

#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "text/text_format.h"

#include <algorithm>
#include <charconv>

namespace qm {

namespace {

// A field on one line: backslash, quote, tab, CR and LF written \\, \", \t, \r, \n.
std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string optional_text(std::optional<std::int64_t> value) {
    return value ? std::to_string(*value) : "none";
}

std::string sorted_lines(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\n";
    }
    return out;
}

bool says_something(const PointNote& n) {
    return !n.label.empty() || n.role.has_value() || n.removed.has_value() || n.planned;
}
bool says_something(const MaterialStandard& m) {
    return m.standard.value || m.standard.reference || m.tolerance != kDefaultTolerance;
}
bool says_something(const PointStandard& p) {
    return p.standard.value || p.standard.reference || p.tolerance;
}

std::string standard_text(const DryStandard& s) {
    return s.value       ? "value " + number_text(*s.value)
           : s.reference ? "reference " + point_text(*s.reference)
                         : "none";
}

std::string points_text(const ProjectSettings& s) {
    std::vector<std::string> lines;
    for (const PointNote& n : s.points) {
        if (says_something(n)) {
            // A point neither removed nor planned keeps the line it had before either existed.
            lines.push_back(point_text(n.point) + ": label \"" + escaped(n.label) + "\"" +
                            (n.role ? ", role " + std::string(air_role_name(*n.role)) : "") +
                            (n.removed ? ", removed " + iso_date(n.removed->on) + " \"" +
                                             escaped(n.removed->reason) + "\""
                                       : "") +
                            (n.planned ? ", planned" : ""));
        }
    }
    return sorted_lines(std::move(lines));
}

std::string standards_text(const ProjectSettings& s) {
    std::vector<std::string> lines;
    for (const MaterialStandard& m : s.materials) {
        if (says_something(m)) {
            lines.push_back("material " + escaped(m.material) + " (" +
                            std::string(scale_name(m.scale)) + "): " + standard_text(m.standard) +
                            ", tolerance " + number_text(m.tolerance));
        }
    }
    for (const PointStandard& p : s.point_standards) {
        if (says_something(p)) {
            lines.push_back("point " + point_text(p.point) + ": " + standard_text(p.standard) +
                            ", tolerance " +
                            (p.tolerance ? number_text(*p.tolerance) : std::string("default")));
        }
    }
    return sorted_lines(std::move(lines));
}

// What names a unit, after its entry's line; nothing for an entry that names none, whose line
// stays as it was before units were named.
std::string unit_text(const EquipmentEntry& e) {
    return (e.unit.empty() ? "" : ", unit \"" + escaped(e.unit) + "\"") +
           (e.model.empty() ? "" : ", model \"" + escaped(e.model) + "\"") +
           (e.capacity ? ", capacity " + number_text(*e.capacity) : "");
}

std::string equipment_text(const ProjectSettings& s) {
    std::string out;
    for (const StoredEquipment& e : s.equipment) {
        out += std::string(equipment_type_name(e.entry.type)) + " x" +
               std::to_string(e.entry.count) + " at \"" + escaped(e.entry.place) + "\", placed " +
               iso_date(e.entry.placed) + ", " +
               (e.entry.removed ? "removed " + iso_date(*e.entry.removed) : "running") +
               unit_text(e.entry) + "\n";
    }
    return out;
}

// A photo a line: its SHA-256, then point, day, visit ("-" for none) and caption.
std::string photos_text(const std::vector<std::pair<std::string, PhotoPlace>>& photos) {
    std::string out;
    for (const auto& [sha, place] : photos) {
        out += sha;
        for (const auto* field : {&place.point, &place.day, &place.visit}) {
            out += *field ? " \"" + escaped(**field) + "\"" : std::string(" -");
        }
        out += " \"" + escaped(place.caption) + "\"\n";
    }
    return out;
}

std::string legend_text(const ProjectSettings& s) {
    std::string out;
    for (const auto& [code, name] : s.legend_overrides) {
        out += escaped(code) + " = " + escaped(name) + "\n";
    }
    return out;
}

} // namespace

std::string_view part_name(ProjectPart part) {
    static constexpr std::array<std::string_view, kProjectPartCount> kNames = {
        "details", "jobs", "points", "standards", "equipment", "legend", "photos"};
    return kNames[static_cast<std::size_t>(part)];
}

std::string details_text(const ProjectDetails& d) {
    const auto small = [](std::optional<int> v) {
        return optional_text(v ? std::optional<std::int64_t>(*v) : std::nullopt);
    };
    return "name: " + escaped(d.name) + "\nclient: " + escaped(d.client) +
           "\nsite: " + escaped(d.site) + "\nclaim: " + escaped(d.claim) +
           "\ndate of loss: " + (d.loss_date ? iso_date(*d.loss_date) : "none") +
           "\ncategory: " + small(d.category) + "\nclass: " + small(d.water_class) +
           "\nnotes: " + escaped(d.notes) + "\n";
}

std::string ProjectParts::text(ProjectPart part) const {
    switch (part) {
    case ProjectPart::Details:
        return details_text(details);
    case ProjectPart::Jobs:
        return sorted_lines(jobs);
    case ProjectPart::Points:
        return points_text(settings);
    case ProjectPart::Standards:
        return standards_text(settings);
    case ProjectPart::Equipment:
        return equipment_text(settings);
    case ProjectPart::Legend:
        return legend_text(settings);
    case ProjectPart::Photos:
        return photos_text(photos);
    }
    return {};
}

PartTexts ProjectParts::texts() const {
    PartTexts out;
    for (const ProjectPart part : kProjectParts) {
        out[static_cast<std::size_t>(part)] = text(part);
    }
    return out;
}

namespace {

bool is_sha256(std::string_view text) {
    return text.size() == 64 &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// A job of a jobs part: "SHA-256/kind/number" (kind 1 MC, 0 RH/T).
std::string job_text(const AttachedKey& job) {
    return job.sha256 + "/" + std::to_string(static_cast<int>(job.kind)) + "/" +
           std::to_string(job.number);
}

std::optional<AttachedKey> job_of_text(const std::string& job) {
    const std::optional<JobKeyFields> f = split_job_key(job);
    if (!f || !is_sha256(f->sha256)) {
        return std::nullopt;
    }
    if ((f->kind != "0" && f->kind != "1") || f->number.size() != 1 || f->number[0] < '1' ||
        f->number[0] > '0' + kMaxJobs) {
        return std::nullopt;
    }
    return AttachedKey{f->sha256, static_cast<RecordKind>(f->kind[0] - '0'), f->number[0] - '0'};
}

// The visits of `shas` the server holds; `shas` are SHA-256 texts (nothing to quote).
bool add_server_visits(PgDb& db, const std::vector<std::string>& shas, VisitIndex& visits) {
    std::string list = "{";
    for (const std::string& sha : shas) {
        if (is_sha256(sha)) {
            list += (list.size() > 1 ? "," : "") + sha;
        }
    }
    const PgParam which = PgParam::text(list + "}");
    const auto held =
        db.query("SELECT sha256 FROM visits WHERE sha256 = ANY ($1::text[])", std::span(&which, 1));
    if (!held) {
        return false;
    }
    for (int row = 0; row < held->rows(); ++row) {
        visits.on_server.insert(held->text(row, 0));
    }
    return true;
}

// Makes the jobs of `theirs` the project's attached jobs, their visits here or not, in one
// transaction; returns the jobs part it then holds.
std::optional<std::string> take_jobs(ProjectStore& store, std::int64_t id,
                                     const ProjectParts& theirs) {
    std::vector<AttachedKey> wanted;
    ProjectParts taken;
    for (const std::string& job : theirs.jobs) {
        if (const std::optional<AttachedKey> key = job_of_text(job)) {
            wanted.push_back(*key);
            taken.jobs.push_back(job);
        }
    }
    if (!store.replace_attached(id, wanted)) {
        return std::nullopt;
    }
    return taken.text(ProjectPart::Jobs);
}

// Makes the photos of `theirs` the project's, those whose bytes are here (a sync pulls them
// first); returns the photos part it then holds.
Result<std::string> take_photos(ProjectStore& store, std::int64_t id, const ProjectParts& theirs) {
    ProjectPhotos photos(store.archive());
    ProjectParts taken;
    for (const auto& photo : theirs.photos) {
        const Result<bool> here = is_sha256(photo.first) ? photos.holds(photo.first) : false;
        if (!here) {
            return failure(here.error());
        }
        if (*here) {
            taken.photos.push_back(photo);
        }
    }
    if (const Status replaced = photos.replace_places(id, taken.photos); !replaced) {
        return failure(replaced.error());
    }
    return taken.text(ProjectPart::Photos);
}

} // namespace

Result<VisitIndex> index_visits(const std::vector<VisitSummary>& all, ProjectStore& store,
                                PgDb* server) {
    VisitIndex visits;
    for (const VisitSummary& v : all) {
        visits.sha[v.id] = v.sha256;
        visits.id[v.sha256] = v.id;
    }
    const Result<std::vector<std::string>> absent = store.absent_attached_visits();
    if (!absent) {
        return failure(absent.error());
    }
    if (server != nullptr && !absent->empty() && !add_server_visits(*server, *absent, visits)) {
        return failure(server->error());
    }
    return visits;
}

std::optional<JobKeyFields> split_job_key(std::string_view job) {
    const std::size_t a = job.find('/');
    const std::size_t b = a == std::string_view::npos ? a : job.find('/', a + 1);
    if (b == std::string_view::npos) {
        return std::nullopt;
    }
    return JobKeyFields{std::string(job.substr(0, a)), std::string(job.substr(a + 1, b - a - 1)),
                        std::string(job.substr(b + 1))};
}

Result<ProjectParts> local_parts(ProjectStore& store, const ProjectSummary& project,
                                 const VisitIndex& visits) {
    const Result<std::vector<AttachedKey>> attached = store.attached_keys(project.id);
    if (!attached) {
        return failure(attached.error());
    }
    Result<ProjectSettings> settings = store.settings(project.id);
    if (!settings) {
        return failure(settings.error());
    }
    ProjectParts parts{project.details, {}, std::move(*settings)};
    ProjectPhotos photos(store.archive());
    const Result<std::vector<ProjectPhoto>> listed = photos.list(project.id);
    if (!listed) {
        return failure(listed.error());
    }
    for (const ProjectPhoto& p : *listed) {
        parts.photos.emplace_back(p.sha256, p.place);
    }
    std::sort(parts.photos.begin(), parts.photos.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    parts.photo_folder = photos.files().folder();
    for (const AttachedKey& job : *attached) {
        if (visits.id.contains(job.sha256) || visits.on_server.contains(job.sha256)) {
            parts.jobs.push_back(job_text(job));
        }
    }
    std::sort(parts.jobs.begin(), parts.jobs.end());
    return parts;
}

Result<std::string> take_part(ProjectStore& store, std::int64_t project, ProjectPart part,
                              const ProjectParts& theirs) {
    ProjectStore::SettingsParts which;
    switch (part) {
    case ProjectPart::Details:
        if (!store.update_details(project, theirs.details)) {
            return failure(store.error());
        }
        break;
    case ProjectPart::Jobs:
        if (std::optional<std::string> jobs = take_jobs(store, project, theirs)) {
            return std::move(*jobs);
        }
        return failure(store.error());
    case ProjectPart::Photos:
        return take_photos(store, project, theirs);
    case ProjectPart::Points:
        which.points = true;
        break;
    case ProjectPart::Standards:
        which.standards = true;
        break;
    case ProjectPart::Equipment:
        which.equipment = true;
        break;
    case ProjectPart::Legend:
        which.legend = true;
        break;
    }
    if ((which.points || which.standards || which.equipment || which.legend) &&
        !store.replace_settings(project, theirs.settings, which)) {
        return failure(store.error());
    }
    const std::optional<ProjectSummary> now = store.get(project);
    Result<ProjectSettings> settings = store.settings(project);
    if (!settings) {
        return failure(settings.error());
    }
    if (!now) {
        return failure("the project cannot be read back: " + store.error());
    }
    // The other parts' texts do not depend on the jobs.
    return ProjectParts{now->details, {}, std::move(*settings)}.text(part);
}

} // namespace qm
