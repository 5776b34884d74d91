#include "sync/project_parts.h"

#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "text/text_format.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

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
    return !n.label.empty() || n.role.has_value();
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
            lines.push_back(point_text(n.point) + ": label \"" + escaped(n.label) + "\"" +
                            (n.role ? ", role " + std::string(air_role_name(*n.role)) : ""));
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

std::string equipment_text(const ProjectSettings& s) {
    std::string out;
    for (const StoredEquipment& e : s.equipment) {
        out += std::string(equipment_type_name(e.entry.type)) + " x" +
               std::to_string(e.entry.count) + " at \"" + escaped(e.entry.place) + "\", placed " +
               iso_date(e.entry.placed) + ", " +
               (e.entry.removed ? "removed " + iso_date(*e.entry.removed) : "running") + "\n";
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
        "details", "jobs", "points", "standards", "equipment", "legend"};
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

VisitIndex index_visits(VisitArchive& archive) {
    VisitIndex visits;
    for (const VisitSummary& v : archive.list_visits("", 0, archive.count_visits(""))) {
        visits.sha[v.id] = v.sha256;
        visits.id[v.sha256] = v.id;
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

ProjectParts local_parts(ProjectStore& store, const ProjectSummary& project,
                         const VisitIndex& visits) {
    ProjectParts parts{project.details, {}, store.settings(project.id)};
    for (const ProjectJob& j : store.jobs(project.id)) {
        const auto sha = visits.sha.find(j.job.visit_id);
        if (sha != visits.sha.end()) {
            parts.jobs.push_back(sha->second + "/" + std::to_string(static_cast<int>(j.job.kind)) +
                                 "/" + std::to_string(j.job.number));
        }
    }
    std::sort(parts.jobs.begin(), parts.jobs.end());
    return parts;
}

namespace {

// Attaches here the jobs of `theirs` whose visits the archive holds, and detaches the others, in
// one transaction.
bool take_jobs(ProjectStore& store, std::int64_t id, const ProjectParts& theirs,
               const VisitIndex& visits) {
    std::vector<JobRef> wanted;
    for (const std::string& job : theirs.jobs) {
        const std::optional<JobKeyFields> key = split_job_key(job);
        const auto visit = key ? visits.id.find(key->sha256) : visits.id.end();
        if (visit == visits.id.end()) {
            continue;
        }
        const auto kind = static_cast<RecordKind>(std::atoi(key->kind.c_str()));
        const auto number = static_cast<std::int32_t>(std::atol(key->number.c_str()));
        for (const JobRef& held : store.visit_jobs(visit->second, number)) {
            if (held.kind == kind) {
                wanted.push_back(held);
            }
        }
    }
    return store.replace_jobs(id, wanted);
}

} // namespace

std::optional<std::string> take_part(ProjectStore& store, std::int64_t project, ProjectPart part,
                                     const ProjectParts& theirs, const VisitIndex& visits) {
    ProjectStore::SettingsParts which;
    switch (part) {
    case ProjectPart::Details:
        if (!store.update_details(project, theirs.details)) {
            return std::nullopt;
        }
        break;
    case ProjectPart::Jobs:
        if (!take_jobs(store, project, theirs, visits)) {
            return std::nullopt;
        }
        break;
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
        return std::nullopt;
    }
    const std::optional<ProjectSummary> now = store.get(project);
    if (!now) {
        return std::nullopt;
    }
    return local_parts(store, *now, visits).text(part);
}

} // namespace qm
