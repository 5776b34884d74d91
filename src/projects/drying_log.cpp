#include "projects/drying_log.h"

#include "text/reading_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qm {

namespace {

// Readings come in tenths and goals are sums of tenths: the comparison allows for the sum's
// rounding, not for a difference a meter can show.
constexpr double kComparisonSlack = 0.005;

// The standard that applies to a point, with its tolerance.
struct AppliedStandard {
    const DryStandard* standard = nullptr;
    double tolerance = kDefaultTolerance;
};

AppliedStandard applied_standard(const MonitoringPoint& point, const ProjectStandards& s) {
    AppliedStandard out;
    const auto material = std::find_if(s.materials.begin(), s.materials.end(), [&](const auto& m) {
        return m.material == point.material && m.scale == point.scale;
    });
    if (material != s.materials.end()) {
        out.standard = &material->standard;
        out.tolerance = material->tolerance;
    }
    const auto own = std::find_if(s.points.begin(), s.points.end(),
                                  [&](const PointStandard& p) { return p.point == point; });
    if (own != s.points.end()) {
        out.standard = &own->standard;
        out.tolerance = own->tolerance.value_or(out.tolerance);
    }
    return out;
}

// True when a standard of the point's scale takes its values from the point. A reference of the
// other scale is not used, so it makes no reference point.
bool is_reference_point(const MonitoringPoint& point, const ProjectStandards& s) {
    const auto refers = [&](const DryStandard& d, PointScale user) {
        return d.reference == point && user == point.scale;
    };
    return std::any_of(s.materials.begin(), s.materials.end(),
                       [&](const MaterialStandard& m) { return refers(m.standard, m.scale); }) ||
           std::any_of(s.points.begin(), s.points.end(),
                       [&](const PointStandard& p) { return refers(p.standard, p.point.scale); });
}

// The row's standard source; the reference's history when it takes one.
const PointHistory* set_source(DryingRow& row, const AppliedStandard& applied,
                               std::span<const PointHistory> histories) {
    row.tolerance = applied.tolerance;
    if (row.is_reference || applied.standard == nullptr) {
        return nullptr;
    }
    const DryStandard& d = *applied.standard;
    if (d.reference) {
        row.reference = d.reference;
        row.source = d.reference->scale == row.point.scale ? StandardSource::Reference
                                                           : StandardSource::ReferenceElsewhere;
        return row.source == StandardSource::Reference ? find_history(histories, *d.reference)
                                                       : nullptr;
    }
    if (d.value) {
        row.source = StandardSource::Value;
        row.standard_value = d.value;
    }
    return nullptr;
}

// The standard of a day: the value entered, or the reference's reading that day.
std::optional<double> standard_on(const DryingRow& row, const PointHistory* reference,
                                  std::int64_t day) {
    if (row.source == StandardSource::Value) {
        return row.standard_value;
    }
    if (row.source == StandardSource::Reference && reference != nullptr) {
        if (const Reading* r = reading_on(*reference, day)) {
            return r->mc;
        }
    }
    return std::nullopt;
}

// The first day of the run of dry days that ends on the last day read.
std::optional<std::int64_t> dry_since(const DryingRow& row, std::span<const std::int64_t> days) {
    std::optional<std::int64_t> since;
    for (std::size_t i = row.cells.size(); i-- > 0;) {
        const CellState state = row.cells[i].state;
        if (state == CellState::NotRead) {
            continue;
        }
        if (state != CellState::Dry) {
            break;
        }
        since = days[i];
    }
    return since;
}

// From the day a point's material was removed its cells are shown and no longer judged.
void mark_removed(DryingRow& row, std::span<const std::int64_t> days,
                  std::span<const RemovedPoint> removed) {
    const auto r = std::find_if(removed.begin(), removed.end(),
                                [&](const RemovedPoint& p) { return p.point == row.point; });
    if (r == removed.end()) {
        return;
    }
    row.removed = r->removal;
    row.dry_on.reset();
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        if (days[i] >= r->removal.on && row.cells[i].state != CellState::NotRead) {
            row.cells[i].state = CellState::Removed;
            row.cells[i].standard.reset();
            row.cells[i].goal.reset();
        }
    }
}

DryingRow make_row(const PointHistory& h, std::span<const PointHistory> histories,
                   std::span<const std::int64_t> days, const ProjectStandards& standards) {
    DryingRow row;
    row.point = h.point;
    row.readings = h.readings;
    row.is_reference = is_reference_point(h.point, standards);
    const PointHistory* reference =
        set_source(row, applied_standard(h.point, standards), histories);
    row.cells.resize(days.size());
    std::size_t column = 0;
    for (const PointDay& d : h.days) {
        while (days[column] != d.day) {
            ++column;
        }
        DryingCell& cell = row.cells[column];
        cell.value = d.reading.mc;
        cell.minute_of_day = reading_minute_of_day(d.reading);
        cell.state = CellState::Unjudged;
        if (row.is_reference) {
            continue;
        }
        cell.standard = standard_on(row, reference, d.day);
        if (cell.standard) {
            cell.goal = *cell.standard + row.tolerance;
            cell.state =
                cell.value <= *cell.goal + kComparisonSlack ? CellState::Dry : CellState::Wet;
        }
    }
    row.dry_on = row.is_reference ? std::nullopt : dry_since(row, days);
    mark_removed(row, days, standards.removed);
    return row;
}

int row_group(const DryingRow& row) {
    return row.is_reference ? 3 : row.removed ? 2 : row.dry_on ? 1 : 0;
}

// The MC points planned or removed that no reading names yet: rows with no day read.
std::vector<PointHistory> unread_points(std::span<const PointHistory> histories,
                                        const ProjectStandards& standards) {
    std::vector<PointHistory> out;
    const auto add = [&](const MonitoringPoint& p) {
        const auto same = [&](const PointHistory& h) { return h.point == p; };
        if (p.scale != PointScale::Air && find_history(histories, p) == nullptr &&
            std::none_of(out.begin(), out.end(), same)) {
            out.push_back({p, 0, {}});
        }
    };
    for (const MonitoringPoint& p : standards.planned) {
        add(p);
    }
    for (const RemovedPoint& r : standards.removed) {
        add(r.point);
    }
    return out;
}

} // namespace

DryingLog drying_log(std::span<const PointHistory> histories, const ProjectStandards& standards) {
    DryingLog log;
    for (const PointHistory& h : histories) {
        for (const PointDay& d : h.days) {
            log.days.push_back(d.day);
        }
    }
    std::sort(log.days.begin(), log.days.end());
    log.days.erase(std::unique(log.days.begin(), log.days.end()), log.days.end());
    for (const PointHistory& h : histories) {
        log.rows.push_back(make_row(h, histories, log.days, standards));
    }
    for (const PointHistory& h : unread_points(histories, standards)) {
        log.rows.push_back(make_row(h, histories, log.days, standards));
    }
    std::stable_sort(log.rows.begin(), log.rows.end(), [](const DryingRow& a, const DryingRow& b) {
        const int ga = row_group(a);
        const int gb = row_group(b);
        return ga != gb ? ga < gb : a.point < b.point;
    });
    return log;
}

std::string clock_text(int minute_of_day) {
    constexpr int kMinutesPerHour = 60;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", minute_of_day / kMinutesPerHour,
                  minute_of_day % kMinutesPerHour);
    return text;
}

DryingLog drying_log(std::span<const AttachedJob> jobs, const ProjectStandards& standards) {
    const std::vector<PointHistory> histories = point_histories(jobs, false);
    return drying_log(histories, standards);
}

} // namespace qm
