#include "analysis/reading_rows.h"

#include "store/job_index.h"
#include "support/readings.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using Cells = std::array<std::string, kReadingColumns>;

constexpr std::int32_t kFahrenheit = 0;
constexpr std::int32_t kCelsius = 1;
constexpr std::int32_t kUsDate = 0;
constexpr std::int32_t kInternationalDate = 1;

std::string deg(const char* number, std::string_view unit) {
    return number + std::string(unit);
}

// Job 1 at "KIT", sub-location 1, "Oak", 70 °F pin temperature, minute 5.
Reading moisture(std::int32_t kind, double mc) {
    Reading r = test::dated_reading(kind, 1, 2, 1, mc, 5);
    r.pin_temperature = 70;
    return r;
}

Reading rh_reading(double rh, double t_f) {
    Reading r;
    r.kind = RhTemperature;
    r.job = 1;
    r.location = 33; // numbered location "2"
    r.rh = rh;
    r.temperature = t_f;
    r.year = 4;
    r.month = 1;
    r.day = 9;
    r.hour_code = 0x14; // 14:00 in 24-hour mode
    r.minute = 7;
    return r;
}

Cells row(const Reading& r, std::int32_t celsius, std::int32_t date_order, int ordinal = 1) {
    return format_reading_row(r, ordinal, kFirstMaterials, celsius, date_order).cells;
}

TEST(ReadingRows, PinReadingsUnderBothUnitsAndDateOrders) {
    const Reading pin = moisture(PinWithTemperature, 12.3);
    EXPECT_EQ(
        row(pin, kFahrenheit, kUsDate, 4),
        (Cells{"4", "KIT,W", "PIN", "Oak", "12.3%", deg("70", kDegreesF), "8/28/03", "1:05AM"}));
    EXPECT_EQ(
        row(pin, kCelsius, kInternationalDate),
        (Cells{"1", "KIT,W", "PIN", "Oak", "12.3%", deg("21", kDegreesC), "28/8/03", "1:05AM"}));
    // A Pin reading shows the temperature it carries like a PinWithTemperature reading.
    Reading cold = moisture(Pin, 8.0);
    cold.pin_temperature = 0;
    EXPECT_EQ(row(cold, kCelsius, kUsDate)[5], deg("-17", kDegreesC));
    EXPECT_EQ(row(cold, kCelsius, kUsDate)[4], "8.0%");
    EXPECT_TRUE(format_reading_row(cold, 1, kFirstMaterials, 0, 0).emc.empty());
}

TEST(ReadingRows, ScanReadingsShowWholeValuesAndNoTemperature) {
    const Reading scan = moisture(Scan, 45.0);
    for (std::int32_t unit : {kFahrenheit, kCelsius}) {
        const Cells cells = row(scan, unit, kUsDate);
        EXPECT_EQ(cells[2], "SCAN");
        EXPECT_EQ(cells[4], "45");
        EXPECT_EQ(cells[5], "-");
    }
    // A kind no meter sends is still listed, as a whole value without a label.
    const Cells odd = row(moisture(7, 120.0), kFahrenheit, kUsDate);
    EXPECT_EQ(odd[2], "?");
    EXPECT_EQ(odd[4], "120");
    EXPECT_EQ(odd[5], "-");
}

TEST(ReadingRows, RhReadingsUnderBothUnits) {
    const Reading r = rh_reading(50.0, 68.0);
    const ReadingRow f = format_reading_row(r, 1, kFirstMaterials, kFahrenheit, kUsDate);
    EXPECT_EQ(f.cells, (Cells{"1", "2", "50.0%", deg("68.0", kDegreesF), "50.82",
                              deg("48.6", kDegreesF), "1/9/04", "14:07"}));
    EXPECT_EQ(f.emc, "9.3%");
    const ReadingRow c = format_reading_row(r, 1, kFirstMaterials, kCelsius, kInternationalDate);
    EXPECT_EQ(c.cells, (Cells{"1", "2", "50.0%", deg("20.0", kDegreesC), "7.26",
                              deg("9.2", kDegreesC), "9/1/04", "14:07"}));
    EXPECT_EQ(c.emc, "9.3%");
}

TEST(ReadingRows, RhReadingOutOfRangeShowsOrWithTheUnit) {
    const Reading hot = rh_reading(40.0, 176.5);
    const Cells f = row(hot, kFahrenheit, kUsDate);
    EXPECT_EQ(f[3], deg("176.5", kDegreesF));
    EXPECT_EQ(f[4], "OR");
    EXPECT_EQ(f[5], deg("OR", kDegreesF));
    const Cells c = row(hot, kCelsius, kUsDate);
    EXPECT_EQ(c[3], deg("80.3", kDegreesC));
    EXPECT_EQ(c[4], "OR");
    EXPECT_EQ(c[5], deg("OR", kDegreesC));
    // The degree sign is the single Windows-1252 byte.
    EXPECT_EQ(f[5], std::string("OR\xB0") + "F");
}

TEST(ReadingRows, ColumnHeadings) {
    using Headings = std::array<std::string_view, kReadingColumns>;
    EXPECT_EQ(reading_column_headings(ManagedKind::Rh, kFahrenheit),
              (Headings{"Rec", "Location", "RH", "Temp", "GPP", "DewPt", "Date", "Time"}));
    EXPECT_EQ(reading_column_headings(ManagedKind::Rh, kCelsius)[4], "GPK");
    EXPECT_EQ(reading_column_headings(ManagedKind::Mc, kCelsius),
              (Headings{"Rec", "Location", "Type", "Material", "MC", "Temp", "Date", "Time"}));
    EXPECT_EQ(reading_column_headings(ManagedKind::Both, kFahrenheit),
              (Headings{"Rec", "", "", "", "", "", "Date", "Time"}));
}

// A store with job 1 holding 20 moisture readings (mc 0..19, stored newest first so that store
// order and time order differ), an RH/T reading of job 1 and moisture readings of job 2.
ReadingStore twenty_readings() {
    ReadingStore store;
    Reading other = moisture(Scan, 500.0);
    other.job = 2;
    store.all_readings.push_back(other);
    for (int i = 0; i < 20; ++i) {
        Reading r = moisture(i % 2 == 0 ? PinWithTemperature : Scan, i);
        r.minute = 59 - i;
        store.all_readings.push_back(r);
        if (i == 10) {
            store.all_readings.push_back(rh_reading(50.0, 68.0));
        }
    }
    rebuild_job_lists(store);
    return store;
}

std::vector<ReadingRow> rows(ReadingStore& store, ManagedKind management, std::int32_t position,
                             std::size_t max_rows = kViewRows) {
    return collect_reading_rows(store, kFirstMaterials, management, 0, position, max_rows,
                                kFahrenheit, kUsDate);
}

TEST(ReadingRowsOfAJob, SixteenRowsFromTheScrollPositionInStoreOrder) {
    ReadingStore store = twenty_readings();
    const std::vector<ReadingRow> top = rows(store, ManagedKind::Mc, 0);
    ASSERT_EQ(top.size(), 16u);
    EXPECT_EQ(top[0].cells[0], "1");
    EXPECT_EQ(top[0].cells[4], "0.0%");
    EXPECT_EQ(top[15].cells[0], "16");
    EXPECT_EQ(top[15].cells[4], "15");

    const std::vector<ReadingRow> last = rows(store, ManagedKind::Mc, 19);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].cells[0], "20");
    EXPECT_EQ(last[0].cells[4], "19");

    EXPECT_EQ(rows(store, ManagedKind::Mc, 4, kAllRows).size(), 16u);
    EXPECT_TRUE(rows(store, ManagedKind::Mc, 20).empty());
    EXPECT_EQ(rows(store, ManagedKind::Mc, -3).size(), 16u);
}

TEST(ReadingRowsOfAJob, ManagedKindSelectsTheReadings) {
    ReadingStore store = twenty_readings();
    const std::vector<ReadingRow> rh = rows(store, ManagedKind::Rh, 0);
    ASSERT_EQ(rh.size(), 1u);
    EXPECT_EQ(rh[0].cells[4], "50.82");
    EXPECT_EQ(rh[0].emc, "9.3%");
    EXPECT_TRUE(rows(store, ManagedKind::Both, 0).empty());
    // Position 1 of the MC list is job 2; position 1 of the RH/T list does not exist.
    EXPECT_EQ(
        collect_reading_rows(store, kFirstMaterials, ManagedKind::Mc, 1, 0, kViewRows, 0, 0).size(),
        1u);
    EXPECT_TRUE(collect_reading_rows(store, kFirstMaterials, ManagedKind::Rh, 1, 0, kViewRows, 0, 0)
                    .empty());
    EXPECT_TRUE(collect_reading_rows(store, kFirstMaterials, ManagedKind::Mc, 7, 0, kViewRows, 0, 0)
                    .empty());
}

} // namespace
} // namespace qm
