#include "sync/pulled_input.h"

#include "archive/visit_input.h"
#include "projects/project_texts.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace qm {

namespace {

std::string too_long(std::string_view what, std::size_t size, std::size_t limit) {
    return std::string(what) + " of " + std::to_string(size) + " bytes (at most " +
           std::to_string(limit) + ")";
}

// The first text of `texts` longer than `limit`, named.
std::optional<std::string>
longest(std::initializer_list<std::pair<const char*, std::string_view>> texts, std::size_t limit) {
    for (const auto& [what, text] : texts) {
        if (text.size() > limit) {
            return too_long(what, text.size(), limit);
        }
    }
    return std::nullopt;
}

// A day a project may hold: a date of the years parse_iso_date takes.
bool takes_day(std::int64_t day) {
    static const std::int64_t first = parse_iso_date("1900-01-01").value_or(0);
    static const std::int64_t last = parse_iso_date("2199-12-31").value_or(0);
    return day >= first && day <= last;
}

bool finite(std::optional<double> value) {
    return !value || std::isfinite(*value);
}

std::optional<std::string> details_problem(const ProjectDetails& d) {
    if (auto p = longest(
            {{"a name", d.name}, {"a client", d.client}, {"a site", d.site}, {"a claim", d.claim}},
            kMaxPulledLineBytes)) {
        return p;
    }
    if (d.notes.size() > kMaxPulledNotesBytes) {
        return too_long("notes", d.notes.size(), kMaxPulledNotesBytes);
    }
    if (d.loss_date && !takes_day(*d.loss_date)) {
        return "a loss date outside the years 1900 to 2199";
    }
    return std::nullopt;
}

std::optional<std::string> settings_problem(const ProjectSettings& s) {
    for (const PointNote& n : s.points) {
        if (auto p = longest({{"a point's material", n.point.material},
                              {"a label", n.label},
                              {"a removal's reason", n.removed ? n.removed->reason : ""}},
                             kMaxPulledLineBytes)) {
            return p;
        }
        if (n.removed && !takes_day(n.removed->on)) {
            return "a material removed on a date outside the years 1900 to 2199";
        }
        if (n.removed && (n.point.scale == PointScale::Air ||
                          n.removed->reason.find_first_not_of(" \t") == std::string::npos)) {
            return "a removed material without a reason, or at an RH/T point";
        }
    }
    for (const MaterialStandard& m : s.materials) {
        if (m.material.size() > kMaxPulledLineBytes) {
            return too_long("a material", m.material.size(), kMaxPulledLineBytes);
        }
        if (!finite(m.standard.value) || !std::isfinite(m.tolerance)) {
            return "a standard or tolerance that is not a finite number";
        }
    }
    for (const PointStandard& p : s.point_standards) {
        if (p.point.material.size() > kMaxPulledLineBytes) {
            return too_long("a point's material", p.point.material.size(), kMaxPulledLineBytes);
        }
        if (!finite(p.standard.value) || !finite(p.tolerance)) {
            return "a standard or tolerance that is not a finite number";
        }
    }
    for (const StoredEquipment& e : s.equipment) {
        if (e.entry.count < 0 || e.entry.count > kMaxEquipmentCount) {
            return "equipment of " + std::to_string(e.entry.count) + " units (0 to " +
                   std::to_string(kMaxEquipmentCount) + ")";
        }
        if (auto p = longest(
                {{"a place", e.entry.place}, {"a unit", e.entry.unit}, {"a model", e.entry.model}},
                kMaxPulledLineBytes)) {
            return p;
        }
        if (e.entry.capacity && !(std::isfinite(*e.entry.capacity) && *e.entry.capacity >= 0)) {
            return "a rated capacity that is not a finite number, 0 or more";
        }
        if (!takes_day(e.entry.placed) || (e.entry.removed && !takes_day(*e.entry.removed))) {
            return "equipment placed or removed on a date outside the years 1900 to 2199";
        }
    }
    for (const auto& [code, name] : s.legend_overrides) {
        if (auto p =
                longest({{"a legend code", code}, {"a legend name", name}}, kMaxPulledLineBytes)) {
            return p;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> pulled_visit_problem(std::int64_t bytes, std::int64_t utc_seconds,
                                                std::int64_t offset_seconds) {
    // An offset beyond what the archive holds is out of range, as its own check then says.
    const auto offset =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(offset_seconds, INT32_MIN, INT32_MAX));
    Status checked =
        check_source_size(static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0)));
    if (checked) {
        checked = check_visit_input({{}, {utc_seconds, offset}, nullptr});
    }
    return checked ? std::nullopt : std::optional(checked.error());
}

std::optional<std::string> pulled_project_problem(const ProjectParts& parts) {
    if (auto p = details_problem(parts.details)) {
        return "it holds " + *p;
    }
    if (auto p = settings_problem(parts.settings)) {
        return "it holds " + *p;
    }
    return std::nullopt;
}

} // namespace qm
