#pragma once

// Drying projects kept in the visit archive: a project's details, the visits' jobs attached to
// it, and what the user entered for its logs (labels, standards, RH/T roles, equipment, the code
// legend). Every change is written at once, in one transaction of its own.

#include "archive/visit_archive.h"
#include "projects/air_log.h"
#include "projects/code_legend.h"
#include "projects/drying_log.h"
#include "projects/equipment_log.h"
#include "store/result.h"

#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// What the user says of a project. Texts are UTF-8.
struct ProjectDetails {
    std::string name; // unique in the archive, letter case aside; never empty
    std::string client;
    std::string site;
    std::string claim;                     // claim or reference number
    std::optional<std::int64_t> loss_date; // day number (drying_day_number)
    std::optional<int> category;           // water category 1..3
    std::optional<int> water_class;        // class 1..4
    std::string notes;
    bool operator==(const ProjectDetails&) const = default;
};

struct ProjectSummary {
    std::int64_t id = 0;
    ProjectDetails details;
    std::int64_t jobs = 0; // attached, of the visits in this archive
};

// A job as a project keeps it attached: by its visit's SHA-256, kind and number, so it stays
// attached while its visit is not in this archive (deleted here, not received yet) and shows
// again when the visit is.
struct AttachedKey {
    std::string sha256;
    RecordKind kind = RecordKind::Mc;
    std::int32_t number = 0;
    friend auto operator<=>(const AttachedKey&, const AttachedKey&) = default;
};

// An attached job and what its visit says of it.
struct ProjectJob {
    JobRef job;
    std::string meter; // the visit's meter model (Windows-1252)
    std::int32_t job_id = 0;
    std::int64_t readings = 0;
    ReceivedTime received;
};

// A point's label and, for an RH/T point, its role (nothing: other); whether the material at an
// MC point was removed, and whether the user added the point before it was read (planned).
struct PointNote {
    MonitoringPoint point;
    std::string label;
    std::optional<AirRole> role;
    std::optional<PointRemoval> removed{};
    bool planned = false;
};

struct StoredEquipment {
    std::int64_t id = 0;
    EquipmentEntry entry;
};

// Everything the user entered for a project's logs.
struct ProjectSettings {
    std::vector<PointNote> points; // by point
    std::vector<MaterialStandard> materials;
    std::vector<PointStandard> point_standards;
    std::vector<StoredEquipment> equipment; // in the order entered
    CodeLegend legend_overrides;            // the project's own names; default_code_legend beside

    std::vector<AirPointRole> roles() const;
    std::vector<RemovedPoint> removed_points() const;    // by point
    std::vector<MonitoringPoint> planned_points() const; // by point
    std::vector<EquipmentEntry> equipment_entries() const;
    CodeLegend legend() const; // the defaults with the project's names over them
    std::string label(const MonitoringPoint& point) const;
};

// A whole project: what the project file carries besides the visits.
struct ProjectRecord {
    ProjectDetails details;
    std::vector<JobRef> jobs;
    ProjectSettings settings;
};

class ProjectStore {
public:
    explicit ProjectStore(VisitArchive& archive)
        : archive_(archive), db_(archive.connection(ArchiveTablesKey{})) {}

    // A new project; nothing when the name is empty or taken (error() says so).
    std::optional<std::int64_t> create(const ProjectDetails& details);
    // A project with its jobs and settings, as a project file holds it, in one transaction.
    std::optional<std::int64_t> restore(const ProjectRecord& record);
    bool update_details(std::int64_t project, const ProjectDetails& details);
    bool remove(std::int64_t project);

    // Each read below is an error when the archive cannot be read, never an empty result.
    Result<std::vector<ProjectSummary>> list();
    // The project of that name, or nothing when there is none.
    Result<std::optional<ProjectSummary>> find(std::string_view name);
    std::optional<ProjectSummary> get(std::int64_t project);

    // Attaches or detaches jobs, all or none; a job no visit holds is refused. Visits stay as
    // they are.
    bool attach(std::int64_t project, std::span<const JobRef> jobs);
    bool detach(std::int64_t project, std::span<const JobRef> jobs);
    // The attached jobs of the visits in this archive, in the order their visits were received,
    // each visit's jobs by kind and number.
    Result<std::vector<ProjectJob>> jobs(std::int64_t project);
    // Every job attached to the project, its visit in this archive or not, in key order.
    Result<std::vector<AttachedKey>> attached_keys(std::int64_t project);
    // Makes `jobs` the project's attached jobs, all or none; their visits need not be here.
    bool replace_attached(std::int64_t project, std::span<const AttachedKey> jobs);
    // The visits that jobs are attached to and this archive does not hold, by SHA-256.
    Result<std::vector<std::string>> absent_attached_visits();
    // Jobs attached to no project whose visit's meter model and job ID are those of a job
    // attached to this one: what the desktop offers to attach. In the order of jobs().
    std::vector<ProjectJob> proposed_jobs(std::int64_t project);
    // The names of the projects a visit's jobs are attached to (for a warning before the visit
    // is removed, which takes its readings out of their logs).
    Result<std::vector<std::string>> projects_of_visit(std::int64_t visit);
    // The jobs of a visit (all of them, or those of one number); empty when it holds none.
    std::vector<JobRef> visit_jobs(std::int64_t visit, std::optional<std::int32_t> number);

    // An empty label removes it. A role only for an RH/T point; nothing makes it "other".
    bool set_label(std::int64_t project, const MonitoringPoint& point, std::string_view label);
    bool set_role(std::int64_t project, int location, std::optional<AirRole> role);
    // Sets (or, with neither value nor reference and no tolerance, removes) a standard.
    bool set_material_standard(std::int64_t project, const MaterialStandard& standard);
    bool set_point_standard(std::int64_t project, const PointStandard& standard);
    // Marks the material at an MC point removed on a day, for a reason (never empty); nothing
    // clears the mark. The point's readings stay; its row of the log shows them unjudged from
    // that day.
    bool set_removed(std::int64_t project, const MonitoringPoint& point,
                     const std::optional<PointRemoval>& removal);
    // Adds a point before any reading names it (it shows in the log, not read yet), or with
    // false takes that mark away.
    bool set_planned(std::int64_t project, const MonitoringPoint& point, bool planned);
    std::optional<std::int64_t> add_equipment(std::int64_t project, const EquipmentEntry& entry);
    bool update_equipment(std::int64_t project, std::int64_t id, const EquipmentEntry& entry);
    bool remove_equipment(std::int64_t project, std::int64_t id);
    // The project's name of a code; an empty name goes back to the default.
    bool set_legend_name(std::int64_t project, std::string_view code, std::string_view name);

    // One read transaction.
    Result<ProjectSettings> settings(std::int64_t project);

    // Which parts of a project's settings replace_settings replaces.
    struct SettingsParts {
        bool points = false;
        bool standards = false;
        bool equipment = false;
        bool legend = false;
    };
    // Makes the chosen parts of a project's settings those of `settings`, in one transaction.
    bool replace_settings(std::int64_t project, const ProjectSettings& settings,
                          const SettingsParts& parts);

    // Why the last change failed, for the user.
    const std::string& error() const { return error_; }
    VisitArchive& archive() { return archive_; }

private:
    std::optional<std::int64_t> insert_project(const ProjectDetails& details);
    bool write_jobs(std::int64_t project, std::span<const JobRef> jobs, bool attach);
    bool write_settings(std::int64_t project, const ProjectSettings& settings,
                        const SettingsParts& parts = {true, true, true, true});
    bool write_label(std::int64_t project, const MonitoringPoint& point, std::string_view label);
    bool write_role(std::int64_t project, int location, std::optional<AirRole> role);
    bool write_removed(std::int64_t project, const MonitoringPoint& point,
                       const std::optional<PointRemoval>& removal);
    bool write_planned(std::int64_t project, const MonitoringPoint& point, bool planned);
    bool write_standard(std::int64_t project, const MonitoringPoint& key, const DryStandard& s,
                        std::optional<double> tolerance);
    std::optional<std::int64_t> write_equipment(std::int64_t project, std::int64_t id,
                                                const EquipmentEntry& entry);
    bool write_legend(std::int64_t project, std::string_view code, std::string_view name);
    bool read_standards(std::int64_t project, ProjectSettings& settings);
    Failure read_failure(std::string_view what) const;
    template <typename Write> bool in_transaction(Write write);
    bool fail(std::string message);
    bool writable();

    VisitArchive& archive_;
    SqliteDb& db_;
    std::string error_;
};

} // namespace qm
