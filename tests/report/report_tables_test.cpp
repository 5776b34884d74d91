// The report's printed figures, materials, charts and line styles against values worked out by
// hand.
#include "report/report_content.h"
#include "report/report_pdf_info.h"
#include "report/report_tables.h"
#include "store/code_legend.h"

#include "support/readings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace qm {
namespace {

using test::dated_reading;

constexpr int kLr = 0;
constexpr int kKit = 2;
constexpr int kPlaster = 1;
constexpr int kOak = 3;

Reading mc(std::int32_t kind, int location, double value, int material = kPlaster, int day = 28) {
    Reading r = dated_reading(kind, 1, location, 0, value, 0, material);
    r.day = day;
    return r;
}

// The mean cell of the first summary row: pins at column 7, scans after the pin columns.
std::string mc_mean(const std::vector<Reading>& readings, std::size_t column = 7) {
    const TextTable t = mc_summary_table(mc_location_figures(readings), kFirstMaterials, {});
    return t.rows.at(0).at(column);
}

TEST(ReportTables, MeansAreExactAndRoundHalfAwayFromZero) {
    struct Case {
        const char* what;
        std::string actual;
        const char* expected;
    };
    const auto rh_mean = [](double t1, double t2, bool celsius, std::size_t column) {
        std::vector<Reading> r = {dated_reading(RhTemperature, 1, kKit, 0, t1, 0),
                                  dated_reading(RhTemperature, 1, kKit, 0, t2, 1)};
        r[0].rh = 50.1;
        r[1].rh = 50.2;
        const ReportUnits units{celsius, false};
        return rh_summary_table(rh_location_figures(r, celsius), units).rows.at(1).at(column);
    };
    const Case cases[] = {
        {"35.6 and 28.5 (32.05)", mc_mean({mc(Pin, kLr, 35.6), mc(Pin, kLr, 28.5)}), "32.1"},
        {"13.3 and 13.2 (13.25)", mc_mean({mc(Pin, kKit, 13.3), mc(Pin, kKit, 13.2)}), "13.3"},
        {"12.4 and 12.5 (12.45)", mc_mean({mc(Pin, kKit, 12.4), mc(Pin, kKit, 12.5)}), "12.5"},
        {"both pin kinds, 0.1 and 0.2",
         mc_mean({mc(PinWithTemperature, kLr, 0.1), mc(Pin, kLr, 0.2)}), "0.2"},
        {"scans 127, 127, 127, 128 (127.25)",
         mc_mean({mc(Scan, kLr, 127), mc(Scan, kLr, 127), mc(Scan, kLr, 127), mc(Scan, kLr, 128)}),
         "127.3"},
        {"RH 50.1 and 50.2 (50.15)", rh_mean(70, 70, false, 4), "50.2"},
        {"-0.2 F and -0.3 F (-0.25)", rh_mean(-0.2, -0.3, false, 5), "-0.3"},
        {"31.0 F and 32.1 F in C (-0.25)", rh_mean(31.0, 32.1, true, 5), "-0.3"},
        {"32.0 F and 32.9 F in C (0.25)", rh_mean(32.0, 32.9, true, 5), "0.3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.actual, c.expected) << c.what;
    }
    EXPECT_EQ(divide_rounded(-7, 2), -4);
    EXPECT_EQ(divide_rounded(7, 2), 4);
    EXPECT_EQ(tenths_text(-3), "-0.3");
}

TEST(ReportTables, MaterialsOfOneLocationStayApart) {
    // LR,F: plaster at 35.6 %, four minutes later oak at 28.5 %.
    const std::vector<Reading> readings = {mc(Pin, kLr, 35.6, kPlaster), mc(Pin, kLr, 28.5, kOak)};
    const TextTable t = mc_summary_table(mc_location_figures(readings), kFirstMaterials, {});
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.columns[1].heading, "Material");
    EXPECT_EQ(t.rows[0][1], "Plaster");
    EXPECT_EQ(t.rows[0][7], "35.6");
    EXPECT_EQ(t.rows[1][1], "Oak");
    EXPECT_EQ(t.rows[1][7], "28.5");
    EXPECT_EQ(t.row_group[0], t.row_group[1]); // one place, one shade
    const auto series = location_series(readings, SeriesMeasure::PinMc, false);
    ASSERT_EQ(series.size(), 2u);
    EXPECT_EQ(series_name(series[1], kFirstMaterials), "LR,F Oak");
}

TEST(ReportTables, OneVisitSideBySideLinesOnlyAcrossDays) {
    // LR read on one day; KIT on two days; an RH/T job of another report shares the axis.
    const std::vector<Reading> readings = {mc(Pin, kLr, 20.0), mc(Pin, kLr, 22.0),
                                           mc(Pin, kKit, 30.0), mc(Pin, kKit, 14.0, kPlaster, 29)};
    std::vector<ChartPlan> plans = chart_plans(readings, RecordKind::Mc, {});
    ASSERT_EQ(plans.size(), 2u);
    EXPECT_EQ(plans[0].title, "Moisture content by location");
    EXPECT_FALSE(plans[0].over_time);
    EXPECT_EQ(plans[0].series.at(0).points.size(), 2u);
    EXPECT_EQ(plans[1].title, "Moisture content over time");
    EXPECT_EQ(series_code(plans[1].series.at(0)), "KIT,F");

    const std::vector<Reading> high = {mc(Pin, kLr, 41.5)};
    std::vector<ChartPlan> other = chart_plans(high, RecordKind::Mc, {});
    std::vector<ChartPlan*> all = {&plans[0], &plans[1], &other[0]};
    share_value_ranges(all);
    for (const ChartPlan* p : all) {
        EXPECT_EQ(p->values.min, 14.0);
        EXPECT_EQ(p->values.max, 41.5);
    }
}

TEST(ReportTables, EveryLineOfAChartHasItsOwnDashAndMarker) {
    std::set<std::vector<double>> dashes;
    std::set<MarkerShape> markers;
    for (std::size_t line = 0; line < kLinesPerChart; ++line) {
        const LineStyle style = line_style(line);
        EXPECT_EQ(style.dashes.size() % 2, 0u) << line; // dash and gap pairs
        dashes.insert(style.dashes);
        markers.insert(style.marker);
    }
    EXPECT_EQ(dashes.size(), kLinesPerChart);
    EXPECT_EQ(markers.size(), kLinesPerChart);

    // A dense line keeps markers, every n-th point, the lines' markers apart.
    const std::vector<std::size_t> first = marked_points(1000, 0, 24);
    const std::vector<std::size_t> second = marked_points(1000, 1, 24);
    EXPECT_GE(first.size(), 20u);
    EXPECT_LE(first.size(), 24u);
    EXPECT_NE(first.front(), second.front());
    EXPECT_EQ(marked_points(5, 3, 24).size(), 5u);

    // Nine places over two days: two charts of five and four lines.
    std::vector<Reading> nine;
    for (int location = 0; location < 9; ++location) {
        nine.push_back(mc(Pin, location, 10));
        nine.push_back(mc(Pin, location, 12, kPlaster, 29));
    }
    const std::vector<ChartPlan> plans = chart_plans(nine, RecordKind::Mc, {});
    ASSERT_EQ(plans.size(), 2u);
    EXPECT_EQ(plans[0].series.size(), 5u);
}

TEST(ReportTables, ScanValuesStandInTheirOwnColumnAndCodesAreNamed) {
    const Reading scan = mc(Scan, kLr, 159);
    const Reading pin = mc(Pin, kLr, 15.9);
    const std::vector<Reading> both = {scan, pin};
    const std::vector<Reading> scans = {scan};
    struct Case {
        std::span<const Reading> job;
        std::vector<std::string> headings; // from column 4
        std::vector<std::string> scan_row;
    };
    for (const Case& c : {Case{both, {"MC", "Scan", "Temp"}, {"", "159", "-"}},
                          Case{scans, {"Scan", "Temp"}, {"159", "-"}}}) {
        const ScanColumn where = scan_column(RecordKind::Mc, c.job);
        const std::vector<TableColumn> columns = readings_columns(RecordKind::Mc, {}, where);
        const std::vector<std::string> row = readings_row(scan, 1, kFirstMaterials, {}, where);
        ASSERT_EQ(columns.size(), 6 + c.headings.size());
        for (std::size_t i = 0; i < c.headings.size(); ++i) {
            EXPECT_EQ(columns[4 + i].heading, c.headings[i]);
            EXPECT_EQ(row[4 + i], c.scan_row[i]);
        }
    }
    const auto pin_row = readings_row(pin, 2, kFirstMaterials, {}, ScanColumn::BesideMc);
    EXPECT_EQ(pin_row[4], "15.9%");
    EXPECT_EQ(pin_row[5], "");
    EXPECT_EQ(scan_column(RecordKind::Mc, std::span(&pin, 1)), ScanColumn::None);
    // A pin reading with no temperature of its own and none before it: a dash, not "0 F".
    EXPECT_EQ(pin_row[6], "\x97");
    EXPECT_EQ(readings_row(pin, 2, kFirstMaterials, {true}, ScanColumn::None)[5], "\x97");
    Reading warm = pin;
    warm.pin_temperature = 68;
    EXPECT_EQ(readings_row(warm, 2, kFirstMaterials, {}, ScanColumn::None)[5], "68\xB0"
                                                                               "F");

    std::vector<Reading> places = {dated_reading(Pin, 1, 13, 1, 10, 0),
                                   dated_reading(Pin, 1, 18, 2, 10, 0),
                                   dated_reading(Pin, 1, 40, 0, 10, 0)};
    EXPECT_EQ(codes_legend(places, default_code_names()),
              "HL1 hall 1, LAU laundry; F floor, W wall, C ceiling");
    for (int code = 0; code < kNamedAreas; ++code) {
        EXPECT_FALSE(default_code_names().areas[static_cast<std::size_t>(code)].empty());
    }
}

TEST(ReportPdfInfo, AnUpdateAfterTheFileThatPointsBackToIt) {
    const std::string original = "%PDF-1.4\n1 0 obj\n<< /Title (Job #1) >>\nendobj\n"
                                 "xref\n0 2\n0000000000 65535 f \n0000000009 00000 n \n"
                                 "trailer\n<<\n/Size 3\n/Info 1 0 R\n/Root 2 0 R\n>>\n"
                                 "startxref\n46\n%%EOF";
    std::string pdf = original;
    ASSERT_TRUE(append_document_info(pdf, {"Caf\xE9 (1)", "", "MC"}, "Q"));
    const std::string expected_object =
        "\n3 0 obj\n<<\n/Title <FEFF00430061006600E90020002800310029>"
        "\n/Subject <FEFF004D0043>\n/Creator <FEFF0051>\n>>\n"
        "endobj\nxref\n3 1\n";
    EXPECT_EQ(pdf.substr(0, original.size()), original);
    const std::size_t object = original.size() + 1;
    const std::size_t xref = pdf.find("xref\n3 1");
    char entry[24];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", object);
    EXPECT_EQ(pdf.substr(original.size()),
              expected_object + entry +
                  "trailer\n<<\n/Size 4\n/Root 2 0 R\n/Info 3 0 R\n/Prev 46\n>>\nstartxref\n" +
                  std::to_string(xref) + "\n%%EOF\n");

    std::string broken = "%PDF-1.4\nno trailer";
    EXPECT_FALSE(append_document_info(broken, {"T", "A", "S"}, "Q"));
    EXPECT_EQ(broken, "%PDF-1.4\nno trailer");
}

} // namespace
} // namespace qm
