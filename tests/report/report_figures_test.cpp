// The report's figures against values worked out by hand, its axes, paper and texts.
#include "report/report_axes.h"
#include "report/report_calendar.h"
#include "report/report_content.h"
#include "report/report_figures.h"
#include "report/report_tables.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace qm {
namespace {

constexpr int kLr = 0;
constexpr int kKit = 2;
constexpr int kW = 1;
constexpr int kTenAm = 0x10; // 24-hour mode
constexpr int k12Am = 0x52;  // 12-hour mode, 12 AM
constexpr int k1Am = 0x41;   // 12-hour mode, 1 AM

Reading make(std::int32_t kind, int location, int sub, double value, int minute,
             int hour = kTenAm) {
    Reading r;
    r.kind = kind;
    r.job = 1;
    r.location = location;
    r.sub_location = sub;
    r.year = 25;
    r.month = 6;
    r.day = 12;
    r.hour_code = hour;
    r.minute = minute;
    r.mc = value;
    return r;
}

Reading rh(int location, double humidity, double fahrenheit, int minute) {
    Reading r = make(RhTemperature, location, 0, 0.0, minute);
    r.rh = humidity;
    r.temperature = fahrenheit;
    return r;
}

// An MC job: LR,F with pins 10.0, 12.5 (kind Pin) and 20.0 and scans 40 and 12; KIT,W with one
// pin of 9.4; an RH/T reading that the MC figures leave out.
const std::vector<Reading> kMc = {make(PinWithTemperature, kLr, 0, 10.0, 1),
                                  make(Scan, kLr, 0, 40, 2),
                                  make(Pin, kLr, 0, 12.5, 3),
                                  make(Scan, kLr, 0, 12, 4),
                                  make(PinWithTemperature, kLr, 0, 20.0, 5),
                                  make(Pin, kKit, kW, 9.4, 0),
                                  rh(kLr, 50, 68, 6)};

// An RH/T job at KIT: 50 % at 68 F, 65 % at 70 F, and one at 176.5 F (out of range).
const std::vector<Reading> kRh = {rh(kKit, 50, 68, 0), rh(kKit, 65, 70, 10),
                                  rh(kKit, 40, 176.5, 20)};

TEST(ReportFigures, MatchHandComputedValues) {
    const auto mc = mc_location_figures(kMc);
    const auto gpp = rh_location_figures(kRh, false);
    const auto gpk = rh_location_figures(kRh, true);
    ASSERT_EQ(mc.size(), 2u);
    ASSERT_EQ(gpp.size(), 1u);
    const McLocationFigures& lr = mc[0];
    const McLocationFigures& kit = mc[1];
    const RhLocationFigures& f = gpp[0];
    struct Case {
        const char* what;
        double actual;
        double expected;
    };
    const Case cases[] = {
        {"LR,F comes first", double(lr.location), kLr},
        {"LR,F readings of every kind", double(lr.readings.count), 5},
        {"LR,F pins (both pin kinds)", double(lr.pin.count), 3},
        {"LR,F pin minimum", lr.pin.min, 10.0},
        {"LR,F pin maximum", lr.pin.max, 20.0},
        {"LR,F pin mean (10 + 12.5 + 20) / 3", lr.pin.mean(), 14.1667},
        {"LR,F scans", double(lr.scan.count), 2},
        {"LR,F scan mean (40 + 12) / 2", lr.scan.mean(), 26.0},
        {"LR,F first reading at :01", double(lr.readings.first.minute), 1},
        {"LR,F last reading at :05", double(lr.readings.last.minute), 5},
        {"KIT,W pin mean", kit.pin.mean(), 9.4},
        {"KIT,W has no scan", double(kit.scan.count), 0},
        {"RH/T readings, out of range too", double(f.readings.count), 3},
        {"RH mean (50 + 65 + 40) / 3", f.rh.mean(), 51.6667},
        {"temperature mean in F", f.temperature.mean(), 104.8333},
        {"temperature mean in C", gpk[0].temperature.mean(), 40.4630},
        {"GPP of the two in range", double(f.humidity.count), 2},
        {"GPP mean (50.82 + 71.08) / 2", f.humidity.mean(), 60.95},
        {"GPK mean (7.26 + 10.15) / 2", gpk[0].humidity.mean(), 8.705},
        {"dew point mean (9.2 C and 14.2 C in F)", f.dew_point.mean(), 53.06},
        {"dew point minimum in C", gpk[0].dew_point.min, 9.2},
        {"EMC minimum, 40 % at 176.5 F still counts", f.emc.min, 5.37},
        {"EMC maximum, 65 % at 70 F", f.emc.max, 12.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(c.actual, c.expected, 0.06) << c.what;
    }
}

TEST(ReportFigures, SeriesFollowTheClockAndLeaveOutWhatTheyCannotShow) {
    // In the meter's raw hour byte 1 AM sorts before 12 AM; on the chart 12 AM comes first.
    const std::vector<Reading> night = {make(Pin, kLr, 0, 11, 0, k1Am),
                                        make(Pin, kLr, 0, 22, 0, k12Am)};
    const auto series = location_series(night, SeriesMeasure::PinMc, false);
    ASSERT_EQ(series.size(), 1u);
    EXPECT_EQ(series[0].points[0].value, 22);
    EXPECT_EQ(series[0].points[1].minute - series[0].points[0].minute, 60);

    // The readings table reads by the clock too: 12 PM (noon) before 1 PM.
    std::vector<Reading> day = {make(Pin, kLr, 0, 1, 0, 0x61), make(Pin, kLr, 0, 12, 0, 0x72)};
    order_by_clock(day);
    EXPECT_EQ(day[0].mc, 12);

    // Scans are not pin readings; an out-of-range dew point has no point.
    EXPECT_EQ(location_series(kMc, SeriesMeasure::PinMc, false)[0].points.size(), 3u);
    EXPECT_EQ(location_series(kMc, SeriesMeasure::Scan, false).size(), 1u);
    EXPECT_EQ(location_series(kRh, SeriesMeasure::DewPoint, false)[0].points.size(), 2u);

    // Seventeen locations read on two days: three charts of 6, 6 and 5 lines over the same time
    // span.
    std::vector<Reading> many;
    for (int location = 0; location < 17; ++location) {
        many.push_back(make(Pin, location, 0, 10 + location, location));
        many.push_back(make(Pin, location, 0, 10 + location, location));
        many.back().day = 13;
    }
    const std::vector<ChartPlan> plans = chart_plans(many, RecordKind::Mc, {});
    ASSERT_EQ(plans.size(), 3u);
    EXPECT_EQ(plans[1].series.size(), 6u);
    EXPECT_EQ(plans[2].series.size(), 5u);
    EXPECT_EQ(plans[2].first_minute, plans[0].first_minute);
    EXPECT_EQ(plans[2].values.max, 26);

    // Thinning keeps the extremes of every column.
    std::vector<SeriesPoint> dense;
    for (int i = 0; i < 1000; ++i) {
        dense.push_back({i, i == 500 ? 99.0 : i == 501 ? -5.0 : i % 7});
    }
    const auto thin = thin_series(dense, 0, 999, 10);
    EXPECT_LE(thin.size(), 40u);
    EXPECT_TRUE(std::any_of(thin.begin(), thin.end(), [](auto& p) { return p.value == 99; }));
    EXPECT_TRUE(std::any_of(thin.begin(), thin.end(), [](auto& p) { return p.value == -5; }));
}

TEST(ReportFigures, DistributionCountsPinReadingsAndSpansTheirBins) {
    std::vector<Reading> readings = {make(Pin, kLr, 0, 12.5, 0), make(Pin, kLr, 0, 12.49, 1),
                                     make(PinWithTemperature, kLr, 0, 30, 2),
                                     make(Scan, kLr, 0, 150, 3)};
    const McDistribution d = mc_distribution(readings);
    EXPECT_EQ(d.bins[13], 1);
    EXPECT_EQ(d.bins[12], 1);
    EXPECT_EQ(d.low_bin, 12);
    EXPECT_EQ(d.high_bin, 30);
    EXPECT_EQ(d.pin_readings, 3u);
    EXPECT_EQ(d.other_readings, 1u);
    EXPECT_LT(mc_distribution({}).high_bin, mc_distribution({}).low_bin);
}

TEST(ReportAxes, RoundStepsAndReadableClockTicks) {
    const ValueAxis moisture = value_axis(9.5, 35.6, 6, true);
    EXPECT_EQ(moisture.low, 0);
    EXPECT_EQ(moisture.high, 40);
    EXPECT_EQ(moisture.ticks.back().label, "40");
    EXPECT_EQ(value_axis(0.42, 0.47, 5).ticks.front().label, "0.42");
    EXPECT_EQ(value_axis(50, 50, 6).ticks.size() > 1, true); // a single value gets room

    // 10:26 AM to 11:02 AM in 12-hour mode, shown as an hour: ten-minute ticks, the date under
    // the first.
    const std::int64_t start = reading_minute(make(Pin, 0, 0, 0, 26, 0x50));
    const TimeAxis t = time_axis(start, start + 36, 8, false, true);
    EXPECT_EQ(t.ticks.front().label, "10:20AM\n6/12/25");
    EXPECT_EQ(t.ticks[1].label, "10:30AM");
    // Three weeks in day-first order: whole days.
    const TimeAxis weeks = time_axis(start, start + 21 * 1440, 8, true, false);
    EXPECT_EQ(weeks.ticks.front().label.find(':'), std::string::npos);
    EXPECT_LE(weeks.ticks.size(), 8u);

    EXPECT_EQ(report_day_number(2000, 3, 1), 60); // 2000 was a leap year
    const CalendarDate back = report_date_of_day(report_day_number(2025, 12, 31));
    EXPECT_EQ(back.year * 10000 + back.month * 100 + back.day, 20251231);
}

TEST(ReportContent, PaperTitlesAndFooters) {
    for (const auto& [locale, paper] :
         std::vector<std::pair<const char*, Paper>>{{"en_US.UTF-8", Paper::Letter},
                                                    {"fr_CA", Paper::Letter},
                                                    {"es_MX.utf8@euro", Paper::Letter},
                                                    {"en_GB.UTF-8", Paper::A4},
                                                    {"de_DE", Paper::A4},
                                                    {"C", Paper::A4},
                                                    {"", Paper::A4}}) {
        EXPECT_EQ(paper_for_locale(locale), paper) << locale;
    }
    EXPECT_EQ(paper_from_name("LETTER"), Paper::Letter);
    EXPECT_FALSE(paper_from_name("a5"));

    ReportJob job;
    job.job = 3;
    job.job_id = 991;
    EXPECT_EQ(report_title({}, job), "Job #3");
    job.title = "North wall";
    EXPECT_EQ(report_title({}, job), "North wall");
    EXPECT_EQ(report_title({"Smith residence", "", "", ""}, job), "Smith residence");
    EXPECT_EQ(job_reference(job), "Job #3, ID# 991");
    EXPECT_EQ(prepared_lines({"", "Acme", "", "J. Tech"}),
              (std::vector<std::string>{"Prepared for: Acme", "Prepared by: J. Tech"}));
    // A report of several jobs is titled by all of them, not by its first.
    ReportJob rh_job;
    rh_job.kind = RecordKind::Rh;
    rh_job.job = 4;
    rh_job.job_id = 12;
    const std::vector<ReportJob> jobs = {job, rh_job};
    const DocumentInfo info = document_info({"", "", "Elm St", "J. Tech"}, jobs);
    EXPECT_EQ(info.title, "North wall; Job #4");
    EXPECT_EQ(info.author, "J. Tech");
    EXPECT_EQ(info.subject,
              "Moisture content and RH/T readings at Elm St (Job #3, ID# 991; Job #4, ID# 12)");
    EXPECT_EQ(page_text(2, 7), "Page 2 of 7");
    EXPECT_EQ(printed_text({2025, 12, 7}, false), "Printed Dec 7, 2025");
    EXPECT_EQ(printed_text({2025, 12, 7}, true), "Printed 7 Dec 2025");
}

} // namespace
} // namespace qm
