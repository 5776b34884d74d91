#include "analysis/job_statistics.h"
#include "analysis/reading_rows.h"
#include "state/app_state.h"
#include "store/job_index.h"
#include "text/text_format.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"
#include "tools/qmtool/saved_job.h"
#include "tools/qmtool/text_codec.h"

#include <array>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qmtool {

namespace {

constexpr const char* kShowUsage = "usage: qmtool show SAVE_FILE [--celsius] [--international]\n";

void print_tabbed(std::span<const std::string_view> fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        line += i == 0 ? "" : "\t";
        line += fields[i];
    }
    std::printf("%s\n", to_utf8(line).c_str());
}

void print_line(std::initializer_list<std::string_view> fields) {
    print_tabbed({fields.begin(), fields.size()});
}

// A table row, with the EMC cell after the eight view columns when there is one.
void print_cells(std::span<const std::string> cells, const std::string* extra) {
    std::vector<std::string_view> fields(cells.begin(), cells.end());
    if (extra != nullptr) {
        fields.push_back(*extra);
    }
    print_tabbed(fields);
}

// "Title: ..." and "Notes:" with the notes' lines indented under it, for a job that has them.
void print_annotations(const qm::JobAnnotations& annotations, qm::RecordKind kind,
                       std::int32_t job) {
    if (const std::string& title = annotations.title(kind, job); !title.empty()) {
        std::printf("Title: %s\n", shown(title).c_str());
    }
    const std::string& notes = annotations.notes(kind, job);
    if (notes.empty()) {
        return;
    }
    std::printf("Notes:\n");
    const std::string lines = qm::notes_with_newlines(notes);
    std::size_t start = 0;
    while (start <= lines.size()) {
        const std::size_t end = std::min(lines.find('\n', start), lines.size());
        const std::string_view line = std::string_view(lines).substr(start, end - start);
        std::printf("  %s\n", shown(line, "\t").c_str());
        start = end + 1;
    }
}

struct Display {
    std::int32_t celsius = 0;
    std::int32_t international = 0;
};

// The readings table, one row at a time: a job of a million readings is never held as texts.
void print_readings(const qm::AppState& app, qm::ManagedKind kind, std::int32_t position,
                    const Display& d) {
    const auto headings = qm::reading_column_headings(kind, d.celsius);
    std::array<std::string, qm::kReadingColumns> heading_cells;
    std::copy(headings.begin(), headings.end(), heading_cells.begin());
    const std::string emc_heading(qm::kEmcHeading);
    print_cells(heading_cells, kind == qm::ManagedKind::Rh ? &emc_heading : nullptr);
    qm::for_each_reading_row(app.store, app.meter.active_materials, kind, position, 0, qm::kAllRows,
                             d.celsius, d.international, [kind](const qm::ReadingRow& row) {
                                 print_cells(row.cells,
                                             kind == qm::ManagedKind::Rh ? &row.emc : nullptr);
                             });
}

// Calls each(group) for every group of the job's readings of a kind, in group order, each group's
// readings in time order: one pass over the job, whatever the number of groups.
template <typename Each>
void for_each_group(const qm::AppState& app, std::int32_t job, qm::KindFilter filter,
                    std::size_t group_count, std::uint32_t (*group_of)(const qm::Reading&),
                    Each each) {
    const qm::GroupedPositions grouped =
        qm::grouped_in_time_order(app.store, job, filter, group_count, group_of);
    std::vector<qm::Reading> group;
    for (std::size_t g = 0; g < group_count; ++g) {
        group.clear();
        for (std::uint32_t k = grouped.group_start[g]; k < grouped.group_start[g + 1]; ++k) {
            group.push_back(app.store.all_readings[grouped.positions[k]]);
        }
        if (!group.empty()) {
            each(group);
        }
    }
}

// One line per location and sub-location that holds readings of the job.
void print_mc_summary(const qm::AppState& app, std::int32_t job, const Display& d) {
    print_line({"Location", "Sub Location", "First", "Last", "PIN Readings", "Material",
                "PIN Minimum", "PIN Maximum", "SCAN Readings", "SCAN Minimum", "SCAN Maximum"});
    for_each_group(
        app, job, qm::KindFilter::Mc, qm::kLocationCount * qm::kSubLocationCount,
        [](const qm::Reading& r) {
            return static_cast<std::uint32_t>(r.location * qm::kSubLocationCount + r.sub_location);
        },
        [&](const std::vector<qm::Reading>& group) {
            const qm::JobStatistics s =
                qm::compute_mc_statistics(group, app.meter.active_materials, d.international);
            print_line({qm::location_name(group.front().location),
                        qm::sub_location_name(group.front().sub_location), s.first_text,
                        s.last_text, s.count_text, s.material_text, s.min_text, s.max_text,
                        s.scan_count_text, s.scan_min_text, s.scan_max_text});
        });
}

// One line per location that holds readings of the job.
void print_rh_summary(const qm::AppState& app, std::int32_t job, const Display& d) {
    const bool gpk = d.celsius != 0;
    print_line({"Location", "Number of Readings", "First", "Last",
                gpk ? "Minimum GPK Value" : "Minimum GPP Value",
                gpk ? "Maximum GPK Value" : "Maximum GPP Value"});
    for_each_group(
        app, job, qm::KindFilter::Rh, qm::kLocationCount,
        [](const qm::Reading& r) { return static_cast<std::uint32_t>(r.location); },
        [&](const std::vector<qm::Reading>& group) {
            const qm::JobStatistics s =
                qm::compute_rh_statistics(group, d.celsius, d.international);
            print_line({qm::location_name(group.front().location), s.count_text, s.first_text,
                        s.last_text, s.min_text, s.max_text});
        });
}

} // namespace

int run_show(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parse_arguments(argc, argv, {"--celsius", "--international"}, {}, args, error) ||
        args.help || args.positional.size() != 1) {
        if (!error.empty()) {
            std::fprintf(stderr, "qmtool show: %s\n", error.c_str());
        }
        std::fputs(kShowUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    qm::AppState app;
    if (!open_save_file(args.positional[0], app)) {
        return kExitFailure;
    }
    const Display d{args.has("--celsius") ? 1 : 0, args.has("--international") ? 1 : 0};
    std::printf("Meter: %s\n", shown(app.meter.model()).c_str());
    if (app.store.mc_job_count + app.store.rh_job_count == 0) {
        std::printf("No readings.\n");
    }
    // RH/T readings first, as the wizard offers them first when a file holds both kinds.
    for (const qm::ManagedKind kind : {qm::ManagedKind::Rh, qm::ManagedKind::Mc}) {
        const auto& list = kind == qm::ManagedKind::Mc ? app.store.mc_jobs : app.store.rh_jobs;
        const std::int32_t count =
            kind == qm::ManagedKind::Mc ? app.store.mc_job_count : app.store.rh_job_count;
        for (std::int32_t position = 0; position < count; ++position) {
            const std::int32_t job = list[static_cast<std::size_t>(position)];
            std::printf("\nJob #%i  ID# %i  %s readings\n", job,
                        app.store.job_ids[static_cast<std::size_t>(job - 1)],
                        kind == qm::ManagedKind::Mc ? "MC" : "RH/T");
            print_annotations(app.store.annotations,
                              kind == qm::ManagedKind::Mc ? qm::RecordKind::Mc : qm::RecordKind::Rh,
                              job);
            print_readings(app, kind, position, d);
            std::printf("\n%s summary\n", kind == qm::ManagedKind::Mc ? "PIN/SCAN" : "RH/T");
            if (kind == qm::ManagedKind::Mc) {
                print_mc_summary(app, job, d);
            } else {
                print_rh_summary(app, job, d);
            }
        }
    }
    return finish_output(kExitOk);
}

} // namespace qmtool
