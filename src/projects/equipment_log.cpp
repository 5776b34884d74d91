#include "projects/equipment_log.h"

#include <algorithm>

namespace qm {

EquipmentLog equipment_log(std::span<const EquipmentEntry> entries, std::int64_t today) {
    EquipmentLog log;
    for (const EquipmentEntry& e : entries) {
        EquipmentRow row{e, 0, 0, true};
        const std::int64_t end = e.removed.value_or(std::max(today, e.placed));
        row.valid = e.count > 0 && end >= e.placed;
        if (row.valid) {
            row.days = end - e.placed;
            row.equipment_days = row.days * e.count;
            log.equipment_days += row.equipment_days;
        }
        log.rows.push_back(row);
    }
    return log;
}

} // namespace qm
