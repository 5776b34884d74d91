#include "projects/equipment_log.h"

#include "text/text_format.h"

#include <algorithm>

namespace qm {

std::string_view capacity_unit(EquipmentType type) {
    switch (type) {
    case EquipmentType::Dehumidifier:
        return "pints/day (AHAM)";
    case EquipmentType::AirMover:
        return "CFM";
    case EquipmentType::Heater:
        return "BTU/h";
    case EquipmentType::Other:
        break;
    }
    return "";
}

std::string equipment_unit_text(const EquipmentEntry& e) {
    std::string out;
    const auto add = [&](const std::string& part) { out += (out.empty() ? "" : ", ") + part; };
    if (!e.unit.empty()) {
        add("unit " + e.unit);
    }
    if (!e.model.empty()) {
        add("model " + e.model);
    }
    if (e.capacity) {
        const std::string_view unit = capacity_unit(e.type);
        add(number_text(*e.capacity) + (unit.empty() ? "" : " ") + std::string(unit));
    }
    return out;
}

EquipmentLog equipment_log(std::span<const EquipmentEntry> entries,
                           std::span<const std::int64_t> days_read) {
    EquipmentLog log;
    for (const EquipmentEntry& e : entries) {
        EquipmentRow row{e, 0, 0, true};
        const std::int64_t last_read = days_read.empty() ? e.placed : days_read.back();
        const std::int64_t end = e.removed.value_or(std::max(last_read, e.placed));
        row.valid = e.count > 0 && end >= e.placed;
        if (row.valid) {
            row.days = end - e.placed;
            row.equipment_days = row.days * e.count;
            log.equipment_days += row.equipment_days;
        }
        log.rows.push_back(row);
    }
    for (const std::int64_t day : days_read) {
        EquipmentDay on_site{day, {}};
        for (const EquipmentRow& r : log.rows) {
            const EquipmentEntry& e = r.entry;
            if (r.valid && e.placed <= day && (!e.removed || day < *e.removed)) {
                on_site.units[static_cast<std::size_t>(e.type)] += e.count;
            }
        }
        log.daily.push_back(on_site);
    }
    return log;
}

} // namespace qm
