#include "report/report_tables.h"

#include "analysis/job_statistics.h"
#include "analysis/reading_rows.h"
#include "text/reading_time.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

namespace qm {

namespace {

// The MC column of the readings table.
constexpr std::ptrdiff_t kMoistureColumn = 4;

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

// A computed value (not a reading) rounded half away from zero, as the exact means are.
std::string rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return fixed(std::round(value * scale) / scale, decimals);
}

// Count, minimum, mean, maximum of readings; the extremes with `decimals`, the exact mean with
// one decimal.
void add_summary_cells(std::vector<std::string>& row, const ValueSummary& s, int decimals) {
    if (s.count == 0) {
        row.insert(row.end(),
                   {"0", std::string(kNoFigure), std::string(kNoFigure), std::string(kNoFigure)});
        return;
    }
    row.push_back(std::to_string(s.count));
    row.push_back(fixed(s.min, decimals));
    row.push_back(tenths_text(mean_tenths(s)));
    row.push_back(fixed(s.max, decimals));
}

void add_summary_columns(std::vector<TableColumn>& columns, const std::string& group) {
    for (const char* heading : {"Count", "Min", "Mean", "Max"}) {
        columns.push_back({heading, group, CellAlign::Right});
    }
}

// Minimum (0), mean (1) or maximum (2); the mean of readings is the exact one (exact_mean, in
// tenths), that of a computed value is rounded half away from zero.
std::string stat_text(const ValueSummary& s, int which, int decimals,
                      std::optional<std::int64_t> exact_mean = std::nullopt) {
    if (s.count == 0) {
        return std::string(kNoFigure);
    }
    if (which == 1) {
        return exact_mean ? tenths_text(*exact_mean) : rounded(s.mean(), decimals);
    }
    return fixed(which == 0 ? s.min : s.max, decimals);
}

constexpr std::int64_t kMinutesPerDay = 24 * 60;

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
    case SeriesMeasure::Humidity:
        return units.celsius ? "GPK" : "GPP";
    }
    return {};
}

// The charts of `points`, at most `per_chart` points each, shared out evenly; numbered in their
// titles when there are several.
void add_split_charts(std::vector<ChartPlan>& plans, const ChartPlan& shared,
                      std::vector<LocationSeries>& points, std::size_t per_chart) {
    if (points.empty()) {
        return;
    }
    const std::size_t charts = (points.size() + per_chart - 1) / per_chart;
    const std::size_t each = (points.size() + charts - 1) / charts;
    for (std::size_t c = 0; c < charts; ++c) {
        ChartPlan plan = shared;
        if (charts > 1) {
            plan.title += " (" + std::to_string(c + 1) + " of " + std::to_string(charts) + ")";
        }
        const std::size_t end = std::min(points.size(), (c + 1) * each);
        for (std::size_t i = c * each; i < end; ++i) {
            plan.series.push_back(std::move(points[i]));
        }
        plans.push_back(std::move(plan));
    }
}

void add_charts(std::vector<ChartPlan>& plans, std::span<const Reading> readings,
                SeriesMeasure measure, const std::string& title, const ReportUnits& units) {
    std::vector<LocationSeries> over_time;
    std::vector<LocationSeries> one_day;
    for (LocationSeries& s : location_series(readings, measure, units.celsius)) {
        (spans_days(s) ? over_time : one_day).push_back(std::move(s));
    }
    ChartPlan shared;
    shared.unit = measure_unit(measure, units);
    shared.measure = measure;
    shared.from_zero = measure == SeriesMeasure::PinMc || measure == SeriesMeasure::Scan;
    for (const auto* group : {&one_day, &over_time}) {
        for (const LocationSeries& s : *group) {
            for (const SeriesPoint& p : s.points) {
                shared.values.add(p.value);
            }
        }
    }
    if (!over_time.empty()) {
        shared.first_minute = over_time.front().points.front().minute;
        shared.last_minute = shared.first_minute;
        for (const LocationSeries& s : over_time) {
            shared.first_minute = std::min(shared.first_minute, s.points.front().minute);
            shared.last_minute = std::max(shared.last_minute, s.points.back().minute);
        }
    }
    ChartPlan by_location = shared;
    by_location.title = title + " by location";
    by_location.over_time = false;
    add_split_charts(plans, by_location, one_day, kPointsPerChart);
    shared.title = title + " over time";
    add_split_charts(plans, shared, over_time, kLinesPerChart);
}

} // namespace

LineStyle line_style(std::size_t line) {
    // Dash patterns from solid to sparse, each paired with a marker shape of its own.
    static const std::array<LineStyle, kLinesPerChart> kStyles = {{
        {{}, MarkerShape::Circle, true},
        {{6, 3}, MarkerShape::Square, false},
        {{1.5, 2.5}, MarkerShape::TriangleUp, true},
        {{8, 3, 1.5, 3}, MarkerShape::Diamond, false},
        {{12, 4}, MarkerShape::TriangleDown, true},
        {{8, 3, 1.5, 3, 1.5, 3}, MarkerShape::Cross, false},
        {{3, 3}, MarkerShape::Plus, false},
        {{14, 3, 4, 3}, MarkerShape::Star, true},
    }};
    return kStyles[line % kStyles.size()];
}

std::vector<std::size_t> marked_points(std::size_t points, std::size_t line, std::size_t most) {
    std::vector<std::size_t> out;
    if (points == 0 || most == 0) {
        return out;
    }
    const std::size_t step = (points + most - 1) / most;
    for (std::size_t i = (line % kLinesPerChart) * step / kLinesPerChart; i < points; i += step) {
        out.push_back(i);
    }
    return out;
}

bool spans_days(const LocationSeries& series) {
    return !series.points.empty() && series.points.front().minute / kMinutesPerDay !=
                                         series.points.back().minute / kMinutesPerDay;
}

void share_value_ranges(std::span<ChartPlan* const> charts) {
    for (ChartPlan* chart : charts) {
        for (ChartPlan* other : charts) {
            if (other->measure == chart->measure && other->values.count > 0) {
                chart->values.add(other->values.min);
                chart->values.add(other->values.max);
            }
        }
    }
}

TextTable mc_summary_table(std::span<const McLocationFigures> figures,
                           const MaterialList& materials, const ReportUnits& units) {
    bool pins = false;
    bool scans = false;
    for (const McLocationFigures& f : figures) {
        pins = pins || f.pin.count > 0;
        scans = scans || f.scan.count > 0;
    }
    TextTable table;
    table.columns = {{"Location", "", CellAlign::Left},
                     {"Material", "", CellAlign::Left},
                     {"Readings", "", CellAlign::Right},
                     {"First", "", CellAlign::Left},
                     {"Last", "", CellAlign::Left}};
    if (pins) {
        add_summary_columns(table.columns, "Pin readings (%MC)");
    }
    if (scans) {
        add_summary_columns(table.columns, "Scan readings (meter scale)");
    }
    int group = -1;
    for (std::size_t i = 0; i < figures.size(); ++i) {
        const McLocationFigures& f = figures[i];
        std::vector<std::string> row = {
            std::string(location_name(f.location)) + ',' +
                std::string(sub_location_name(f.sub_location)),
            std::string(material_name(materials, f.material)), std::to_string(f.readings.count),
            time_text(f.readings.first, units), time_text(f.readings.last, units)};
        if (pins) {
            add_summary_cells(row, f.pin, 1);
        }
        if (scans) {
            add_summary_cells(row, f.scan, 0);
        }
        // The materials of one location and sub-location share a shade.
        const bool same_place = i > 0 && figures[i - 1].location == f.location &&
                                figures[i - 1].sub_location == f.sub_location;
        group += same_place ? 0 : 1;
        table.row_group.push_back(group);
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
        const std::int64_t temperature_mean =
            units.celsius ? celsius_mean_tenths(f.fahrenheit) : mean_tenths(f.fahrenheit);
        for (int which = 0; which < 3; ++which) {
            std::vector<std::string> row(3);
            if (which == 0) {
                row = {std::string(location_name(f.location)), std::to_string(f.readings.count),
                       time_text(f.readings.first, units)};
            } else if (which == 1) {
                row[2] = time_text(f.readings.last, units);
            }
            row.insert(row.end(), {kStatNames[which], stat_text(f.rh, which, 1, mean_tenths(f.rh)),
                                   stat_text(f.temperature, which, 1, temperature_mean),
                                   stat_text(f.dew_point, which, 1),
                                   stat_text(f.humidity, which, 2), stat_text(f.emc, which, 1)});
            table.rows.push_back(std::move(row));
            table.row_group.push_back(group);
        }
        ++group;
    }
    return table;
}

ScanColumn scan_column(RecordKind kind, std::span<const Reading> readings) {
    if (kind != RecordKind::Mc) {
        return ScanColumn::None;
    }
    const auto scan = [](const Reading& r) { return !is_rh(r) && r.kind >= Scan; };
    const auto pin = [](const Reading& r) { return !is_rh(r) && r.kind < Scan; };
    if (!std::any_of(readings.begin(), readings.end(), scan)) {
        return ScanColumn::None;
    }
    return std::any_of(readings.begin(), readings.end(), pin) ? ScanColumn::BesideMc
                                                              : ScanColumn::InsteadOfMc;
}

std::vector<TableColumn> readings_columns(RecordKind kind, const ReportUnits& units,
                                          ScanColumn scans) {
    const ManagedKind managed = kind == RecordKind::Mc ? ManagedKind::Mc : ManagedKind::Rh;
    std::vector<TableColumn> columns;
    for (const std::string_view heading : reading_column_headings(managed, units.celsius ? 1 : 0)) {
        columns.push_back({std::string(heading), "", CellAlign::Left});
    }
    columns[0].align = CellAlign::Right;
    if (kind == RecordKind::Rh) {
        columns.push_back({std::string(kEmcHeading), "", CellAlign::Left});
    } else if (scans == ScanColumn::BesideMc) {
        columns.insert(columns.begin() + kMoistureColumn + 1, {"Scan", "", CellAlign::Left});
    } else if (scans == ScanColumn::InsteadOfMc) {
        columns[kMoistureColumn].heading = "Scan";
    }
    return columns;
}

std::vector<std::string> readings_row(const Reading& reading, std::size_t ordinal,
                                      const MaterialList& materials, const ReportUnits& units,
                                      ScanColumn scans) {
    ReadingRow row = format_reading_row(reading, static_cast<std::int32_t>(ordinal), materials,
                                        units.celsius ? 1 : 0, units.international_date ? 1 : 0);
    std::vector<std::string> cells(std::make_move_iterator(row.cells.begin()),
                                   std::make_move_iterator(row.cells.end()));
    if (!carries_temperature(reading)) {
        cells[kTemperatureColumn] = std::string(kNoReadingTemperature);
    }
    if (is_rh(reading)) {
        cells.push_back(std::move(row.emc));
    } else if (scans == ScanColumn::BesideMc) {
        // A scan value has no percent: it stands in the Scan column, the MC column left empty.
        const auto at = cells.begin() + kMoistureColumn;
        cells.insert(at + 1, reading.kind >= Scan ? std::exchange(*at, std::string()) : "");
    }
    return cells;
}

bool carries_temperature(const Reading& reading) {
    // A pin reading without a temperature of its own takes the last one the download had before
    // it, 0 when there was none.
    return reading.kind != Pin || reading.pin_temperature != 0;
}

std::vector<ChartPlan> chart_plans(std::span<const Reading> readings, RecordKind kind,
                                   const ReportUnits& units) {
    std::vector<ChartPlan> plans;
    if (kind == RecordKind::Mc) {
        add_charts(plans, readings, SeriesMeasure::PinMc, "Moisture content", units);
        add_charts(plans, readings, SeriesMeasure::Scan, "Scan readings", units);
    } else {
        add_charts(plans, readings, SeriesMeasure::Rh, "Relative humidity", units);
        add_charts(plans, readings, SeriesMeasure::Temperature, "Temperature", units);
        add_charts(plans, readings, SeriesMeasure::DewPoint, "Dew point", units);
        add_charts(plans, readings, SeriesMeasure::Humidity,
                   units.celsius ? "Humidity ratio (GPK)" : "Humidity ratio (GPP)", units);
    }
    return plans;
}

std::string series_code(const LocationSeries& series) {
    std::string name(location_name(series.location));
    if (series.sub_location >= 0) {
        name += ',';
        name += sub_location_name(series.sub_location);
    }
    return name;
}

std::string line_name(const ChartPlan& chart, std::size_t i, const MaterialList& materials) {
    return i < chart.names.size() ? chart.names[i] : series_name(chart.series[i], materials);
}

std::string series_name(const LocationSeries& series, const MaterialList& materials) {
    std::string name = series_code(series);
    if (series.material >= 0) {
        name += ' ';
        name += material_name(materials, series.material);
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
