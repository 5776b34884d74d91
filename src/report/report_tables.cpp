#include "report/report_tables.h"

#include "analysis/job_statistics.h"
#include "analysis/reading_rows.h"
#include "text/reading_time.h"

#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string time_text(const Reading& r, const ReportUnits& units) {
    return format_reading_date_time(r, units.international_date ? 1 : 0);
}

std::string degrees(const ReportUnits& units) {
    return units.celsius ? std::string(kDegreesC) : std::string(kDegreesF);
}

// Count, minimum, mean, maximum; the extremes with `decimals`, the mean with one more when the
// values are whole numbers.
void add_summary_cells(std::vector<std::string>& row, const ValueSummary& s, int decimals) {
    if (s.count == 0) {
        row.insert(row.end(),
                   {"0", std::string(kNoFigure), std::string(kNoFigure), std::string(kNoFigure)});
        return;
    }
    row.push_back(std::to_string(s.count));
    row.push_back(fixed(s.min, decimals));
    row.push_back(fixed(s.mean(), decimals == 0 ? 1 : decimals));
    row.push_back(fixed(s.max, decimals));
}

void add_summary_columns(std::vector<TableColumn>& columns, const std::string& group) {
    for (const char* heading : {"Count", "Min", "Mean", "Max"}) {
        columns.push_back({heading, group, CellAlign::Right});
    }
}

std::string stat_text(const ValueSummary& s, int which, int decimals) {
    if (s.count == 0) {
        return std::string(kNoFigure);
    }
    return fixed(which == 0 ? s.min : which == 1 ? s.mean() : s.max, decimals);
}

std::string measure_unit(SeriesMeasure measure, const ReportUnits& units) {
    switch (measure) {
    case SeriesMeasure::PinMc:
        return "%MC";
    case SeriesMeasure::Scan:
        return "meter scale";
    case SeriesMeasure::Rh:
        return "RH %";
    case SeriesMeasure::Temperature:
    case SeriesMeasure::DewPoint:
        return degrees(units);
    }
    return {};
}

void add_charts(std::vector<ChartPlan>& plans, std::span<const Reading> readings,
                SeriesMeasure measure, const std::string& title, const ReportUnits& units) {
    std::vector<LocationSeries> all = location_series(readings, measure, units.celsius);
    if (all.empty()) {
        return;
    }
    ChartPlan shared;
    shared.unit = measure_unit(measure, units);
    shared.from_zero = measure == SeriesMeasure::PinMc || measure == SeriesMeasure::Scan;
    shared.first_minute = all.front().points.front().minute;
    shared.last_minute = shared.first_minute;
    for (const LocationSeries& s : all) {
        for (const SeriesPoint& p : s.points) {
            shared.first_minute = std::min(shared.first_minute, p.minute);
            shared.last_minute = std::max(shared.last_minute, p.minute);
            shared.values.add(p.value);
        }
    }
    const std::size_t charts = (all.size() + kLinesPerChart - 1) / kLinesPerChart;
    const std::size_t per_chart = (all.size() + charts - 1) / charts;
    for (std::size_t c = 0; c < charts; ++c) {
        ChartPlan plan = shared;
        plan.title = title;
        if (charts > 1) {
            plan.title += " (" + std::to_string(c + 1) + " of " + std::to_string(charts) + ")";
        }
        const std::size_t end = std::min(all.size(), (c + 1) * per_chart);
        for (std::size_t i = c * per_chart; i < end; ++i) {
            plan.series.push_back(std::move(all[i]));
        }
        plans.push_back(std::move(plan));
    }
}

} // namespace

TextTable mc_summary_table(std::span<const McLocationFigures> figures, const ReportUnits& units) {
    bool pins = false;
    bool scans = false;
    for (const McLocationFigures& f : figures) {
        pins = pins || f.pin.count > 0;
        scans = scans || f.scan.count > 0;
    }
    TextTable table;
    table.columns = {{"Location", "", CellAlign::Left},
                     {"Readings", "", CellAlign::Right},
                     {"First", "", CellAlign::Left},
                     {"Last", "", CellAlign::Left}};
    if (pins) {
        add_summary_columns(table.columns, "Pin readings (%MC)");
    }
    if (scans) {
        add_summary_columns(table.columns, "Scan readings (meter scale)");
    }
    for (const McLocationFigures& f : figures) {
        std::vector<std::string> row = {std::string(location_name(f.location)) + ',' +
                                            std::string(sub_location_name(f.sub_location)),
                                        std::to_string(f.readings.count),
                                        time_text(f.readings.first, units),
                                        time_text(f.readings.last, units)};
        if (pins) {
            add_summary_cells(row, f.pin, 1);
        }
        if (scans) {
            add_summary_cells(row, f.scan, 0);
        }
        table.row_group.push_back(static_cast<int>(table.rows.size()));
        table.rows.push_back(std::move(row));
    }
    return table;
}

TextTable rh_summary_table(std::span<const RhLocationFigures> figures, const ReportUnits& units) {
    const std::string deg = degrees(units);
    TextTable table;
    table.columns = {{"Location", "", CellAlign::Left},
                     {"Readings", "", CellAlign::Right},
                     {"First / last reading", "", CellAlign::Left},
                     {"", "", CellAlign::Left},
                     {"RH (%)", "", CellAlign::Right},
                     {"Temp (" + deg + ")", "", CellAlign::Right},
                     {"Dew point (" + deg + ")", "", CellAlign::Right},
                     {units.celsius ? "GPK" : "GPP", "", CellAlign::Right},
                     {"EMC (%)", "", CellAlign::Right}};
    static constexpr const char* kStatNames[] = {"Min", "Mean", "Max"};
    int group = 0;
    for (const RhLocationFigures& f : figures) {
        for (int which = 0; which < 3; ++which) {
            std::vector<std::string> row(3);
            if (which == 0) {
                row = {std::string(location_name(f.location)), std::to_string(f.readings.count),
                       time_text(f.readings.first, units)};
            } else if (which == 1) {
                row[2] = time_text(f.readings.last, units);
            }
            row.insert(row.end(),
                       {kStatNames[which], stat_text(f.rh, which, 1),
                        stat_text(f.temperature, which, 1), stat_text(f.dew_point, which, 1),
                        stat_text(f.humidity, which, 2), stat_text(f.emc, which, 1)});
            table.rows.push_back(std::move(row));
            table.row_group.push_back(group);
        }
        ++group;
    }
    return table;
}

std::vector<TableColumn> readings_columns(RecordKind kind, const ReportUnits& units) {
    const ManagedKind managed = kind == RecordKind::Mc ? ManagedKind::Mc : ManagedKind::Rh;
    std::vector<TableColumn> columns;
    for (const std::string_view heading : reading_column_headings(managed, units.celsius ? 1 : 0)) {
        columns.push_back({std::string(heading), "", CellAlign::Left});
    }
    columns[0].align = CellAlign::Right;
    if (kind == RecordKind::Rh) {
        columns.push_back({std::string(kEmcHeading), "", CellAlign::Left});
    }
    return columns;
}

std::vector<std::string> readings_row(const Reading& reading, std::size_t ordinal,
                                      const MaterialList& materials, const ReportUnits& units) {
    ReadingRow row = format_reading_row(reading, static_cast<std::int32_t>(ordinal), materials,
                                        units.celsius ? 1 : 0, units.international_date ? 1 : 0);
    std::vector<std::string> cells(std::make_move_iterator(row.cells.begin()),
                                   std::make_move_iterator(row.cells.end()));
    if (is_rh(reading)) {
        cells.push_back(std::move(row.emc));
    }
    return cells;
}

std::vector<ChartPlan> chart_plans(std::span<const Reading> readings, RecordKind kind,
                                   const ReportUnits& units) {
    std::vector<ChartPlan> plans;
    if (kind == RecordKind::Mc) {
        add_charts(plans, readings, SeriesMeasure::PinMc, "Moisture content over time", units);
        add_charts(plans, readings, SeriesMeasure::Scan, "Scan readings over time", units);
    } else {
        add_charts(plans, readings, SeriesMeasure::Rh, "Relative humidity over time", units);
        add_charts(plans, readings, SeriesMeasure::Temperature, "Temperature over time", units);
        add_charts(plans, readings, SeriesMeasure::DewPoint, "Dew point over time", units);
    }
    return plans;
}

std::string series_name(const LocationSeries& series) {
    std::string name(location_name(series.location));
    if (series.sub_location >= 0) {
        name += ',';
        name += sub_location_name(series.sub_location);
    }
    return name;
}

std::string distribution_note(const McDistribution& d) {
    std::string note = std::to_string(d.pin_readings) +
                       (d.pin_readings == 1 ? " pin reading" : " pin readings") +
                       " by whole percent";
    if (d.other_readings > 0) {
        note += "; " + std::to_string(d.other_readings) +
                (d.other_readings == 1 ? " scan reading is" : " scan readings are") +
                " not included (a scan has no percent value)";
    }
    return note + ".";
}

} // namespace qm
