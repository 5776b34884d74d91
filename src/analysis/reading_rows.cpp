#include "analysis/reading_rows.h"

#include "analysis/job_statistics.h"
#include "analysis/psychrometrics.h"
#include "store/job_index.h"
#include "text/reading_time.h"

#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

// Shown in the temperature column of readings that carry no pin temperature.
constexpr std::string_view kNoTemperature = "-";

std::string number_text(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string int_text(std::int32_t value) {
    return std::to_string(value);
}

void fill_rh_cells(ReadingRow& row, const Reading& r, std::int32_t celsius) {
    const bool c = celsius != 0;
    const std::string_view unit = c ? kDegreesC : kDegreesF;
    const PsychrometricResult p = compute_psychrometrics(r.rh, r.temperature, celsius);
    row.cells[1] = location_name(r.location);
    row.cells[2] = number_text("%.1f%%", r.rh);
    row.cells[3] = number_text("%.1f", c ? fahrenheit_to_celsius(r.temperature) : r.temperature);
    row.cells[3] += unit;
    row.cells[4] = p.humidity_text;
    row.cells[5] = p.dew_point_text;
    row.cells[5] += unit;
    row.emc = format_emc(equivalent_moisture_content(r.rh, r.temperature));
}

void fill_mc_cells(ReadingRow& row, const Reading& r, const MaterialList& active_materials,
                   std::int32_t celsius) {
    row.cells[1] = location_name(r.location);
    row.cells[1] += ',';
    row.cells[1] += sub_location_name(r.sub_location);
    row.cells[2] = type_label(r.kind);
    row.cells[3] = material_name(active_materials, r.material);
    // Pin readings are percent with one decimal and carry a wood temperature; scans are whole
    // numbers on the meter's own scale without one.
    if (r.kind < Scan) {
        row.cells[4] = number_text("%.1f%%", r.mc);
        if (celsius != 0) {
            row.cells[5] = int_text(fahrenheit_to_celsius_whole(r.pin_temperature));
            row.cells[5] += kDegreesC;
        } else {
            row.cells[5] = int_text(r.pin_temperature);
            row.cells[5] += kDegreesF;
        }
    } else {
        row.cells[4] = number_text("%.0f", r.mc);
        row.cells[5] = std::string(kNoTemperature);
    }
}

} // namespace

std::array<std::string_view, kReadingColumns> reading_column_headings(ManagedKind kind,
                                                                      std::int32_t celsius) {
    switch (kind) {
    case ManagedKind::Rh:
        return {"Rec",   "Location", "RH",  "Temp", celsius != 0 ? "GPK" : "GPP",
                "DewPt", "Date",     "Time"};
    case ManagedKind::Mc:
        return {"Rec", "Location", "Type", "Material", "MC", "Temp", "Date", "Time"};
    default:
        return {"Rec", "", "", "", "", "", "Date", "Time"};
    }
}

ReadingRow format_reading_row(const Reading& reading, std::int32_t ordinal,
                              const MaterialList& active_materials, std::int32_t celsius,
                              std::int32_t international_date) {
    ReadingRow row;
    row.cells[0] = int_text(ordinal);
    if (is_rh(reading)) {
        fill_rh_cells(row, reading, celsius);
    } else {
        fill_mc_cells(row, reading, active_materials, celsius);
    }
    row.cells[6] = format_reading_date(reading, international_date);
    row.cells[7] = format_reading_time(reading);
    return row;
}

void for_each_reading_row(const ReadingStore& store, const MaterialList& active_materials,
                          ManagedKind kind, std::int32_t job_index, std::int32_t scroll_position,
                          std::size_t max_rows, std::int32_t celsius,
                          std::int32_t international_date,
                          const std::function<void(const ReadingRow&)>& row) {
    const std::int32_t job = job_at_position(store, kind, job_index);
    if (job == 0) {
        return;
    }
    const std::vector<std::size_t> found =
        job_readings(store, job, kind == ManagedKind::Rh ? KindFilter::Rh : KindFilter::Mc);
    const std::size_t first =
        std::min(static_cast<std::size_t>(std::max(scroll_position, 0)), found.size());
    for (std::size_t k = first; k < found.size() && k - first < max_rows; ++k) {
        row(format_reading_row(store.all_readings[found[k]], static_cast<std::int32_t>(k + 1),
                               active_materials, celsius, international_date));
    }
}

std::vector<ReadingRow> collect_reading_rows(const ReadingStore& store,
                                             const MaterialList& active_materials, ManagedKind kind,
                                             std::int32_t job_index, std::int32_t scroll_position,
                                             std::size_t max_rows, std::int32_t celsius,
                                             std::int32_t international_date) {
    std::vector<ReadingRow> rows;
    for_each_reading_row(store, active_materials, kind, job_index, scroll_position, max_rows,
                         celsius, international_date,
                         [&rows](const ReadingRow& row) { rows.push_back(row); });
    return rows;
}

} // namespace qm
