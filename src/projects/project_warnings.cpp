#include "projects/project_warnings.h"

#include "projects/drying_days.h"
#include "projects/project_texts.h"

#include <algorithm>

namespace qm {

namespace {

std::string dates_text(const std::vector<std::int64_t>& days) {
    std::string text;
    for (const std::int64_t day : days) {
        text += (text.empty() ? "" : ", ") + iso_date(day);
    }
    return text;
}

// The last day any point, MC or RH/T, was read; nothing when none was.
std::optional<std::int64_t> last_day_read(const ProjectLogs& logs) {
    std::optional<std::int64_t> last;
    if (!logs.drying.days.empty()) {
        last = logs.drying.days.back();
    }
    for (const AirDay& a : logs.air.rows) {
        last = std::max(last.value_or(a.day), a.day);
    }
    return last;
}

void add_loss_after_readings(const ProjectDetails& details, const ProjectLogs& logs,
                             std::vector<ProjectWarning>& out) {
    const std::optional<std::int64_t> last = last_day_read(logs);
    if (!details.loss_date || !last || *details.loss_date <= *last) {
        return;
    }
    out.push_back({WarningKind::LossAfterReadings,
                   "The date of loss (" + iso_date(*details.loss_date) +
                       ") is after every reading (the last on " + iso_date(*last) + ").",
                   {*details.loss_date, *last},
                   {}});
}

// Days on which a point judged by `reference` was read and the reference was not.
std::vector<std::int64_t> days_without(const DryingLog& log, const DryingRow& reference) {
    std::vector<std::int64_t> days;
    for (std::size_t d = 0; d < log.days.size(); ++d) {
        if (reference.cells[d].state != CellState::NotRead) {
            continue;
        }
        const bool needed = std::any_of(log.rows.begin(), log.rows.end(), [&](const DryingRow& r) {
            return !r.is_reference && r.source == StandardSource::Reference &&
                   r.reference == reference.point && r.cells[d].state != CellState::NotRead;
        });
        if (needed) {
            days.push_back(log.days[d]);
        }
    }
    return days;
}

void add_days_without_reference(const DryingLog& log, std::vector<ProjectWarning>& out) {
    for (const DryingRow& row : log.rows) {
        if (!row.is_reference) {
            continue;
        }
        std::vector<std::int64_t> days = days_without(log, row);
        if (!days.empty()) {
            const std::string point = point_text(row.point);
            out.push_back({WarningKind::DayWithoutReference,
                           "The reference " + point + " was not read on " + dates_text(days) +
                               ": the points it judges are not judged on " +
                               (days.size() == 1 ? "that day." : "those days."),
                           std::move(days),
                           {row.point}});
        }
    }
}

void add_points_read_once(const DryingLog& log, std::vector<ProjectWarning>& out) {
    if (log.days.size() < 2) {
        return;
    }
    for (const DryingRow& row : log.rows) {
        std::vector<std::int64_t> days;
        for (std::size_t d = 0; d < row.cells.size() && d < log.days.size(); ++d) {
            if (row.cells[d].state != CellState::NotRead) {
                days.push_back(log.days[d]);
            }
        }
        if (days.size() == 1) {
            out.push_back({WarningKind::PointReadOnce,
                           "The point " + point_text(row.point) + " was read on one day only (" +
                               iso_date(days.front()) + ").",
                           std::move(days),
                           {row.point}});
        }
    }
}

} // namespace

std::vector<ProjectWarning> project_warnings(const ProjectDetails& details,
                                             const ProjectLogs& logs) {
    std::vector<ProjectWarning> out;
    add_loss_after_readings(details, logs, out);
    add_days_without_reference(logs.drying, out);
    const std::size_t from = out.size();
    add_points_read_once(logs.drying, out);
    std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(),
                     [](const ProjectWarning& a, const ProjectWarning& b) {
                         return a.points.front() < b.points.front();
                     });
    return out;
}

std::string_view warning_kind_name(WarningKind kind) {
    switch (kind) {
    case WarningKind::LossAfterReadings:
        return "loss-after-readings";
    case WarningKind::DayWithoutReference:
        return "day-without-reference";
    case WarningKind::PointReadOnce:
        break;
    }
    return "point-read-once";
}

} // namespace qm
