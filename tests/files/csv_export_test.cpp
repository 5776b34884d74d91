#include "files/csv_export.h"

#include "store/job_index.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace qm {
namespace {

Reading mc_reading(std::int32_t kind, std::int32_t hour_code, std::int32_t minute,
                   double mc = 12.3) {
    Reading r;
    r.kind = kind;
    r.job = 2;
    r.year = 9;
    r.month = 5;
    r.day = 13;
    r.hour_code = hour_code;
    r.minute = minute;
    r.pin_temperature = 70;
    r.mc = mc;
    return r;
}

Reading rh_reading(double rh, double temperature_f) {
    Reading r = mc_reading(RhTemperature, 0x10, 30);
    r.rh = rh;
    r.temperature = temperature_f;
    return r;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
        if (end == std::string::npos) {
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

struct CsvExport : ::testing::Test {
    ReadingStore store;
    MeterIdentity meter;

    void SetUp() override { store.job_ids = {0, 7, 0, 0, 0}; }
    std::vector<std::string> run(std::vector<Reading> readings, std::int32_t celsius = 0,
                                 std::int32_t international = 0) {
        store.all_readings = std::move(readings);
        rebuild_job_lists(store);
        return lines_of(export_csv(store, meter, 2, celsius, international));
    }
};

TEST_F(CsvExport, HeaderLinesAreTheFourFixedTexts) {
    const std::string common = "Name,Job,ID#,Area,Location,Sub Location,Material,";
    const std::string us_f = common + "Date (US),Time,Type,MC,RH%,Temp(\xB0"
                                      "F),Dew Pt(\xB0"
                                      "F),GPP";
    const std::string us_c = common + "Date (US),Time,Type,MC,RH%,Temp(\xB0"
                                      "C),Dew Pt(\xB0"
                                      "C),GPK";
    const std::string eu_f = common + "Date (EU),Time,Type,MC,RH%,Temp(\xB0"
                                      "F),Dew Pt(\xB0"
                                      "F),GPP";
    const std::string eu_c = common + "Date (EU),Time,Type,MC,RH%,Temp(\xB0"
                                      "C),Dew Pt(\xB0"
                                      "C),GPK";
    EXPECT_EQ(us_f.size(), 99u);
    EXPECT_EQ(us_f[81], '\xB0');
    EXPECT_EQ(run({}, 0, 0), std::vector<std::string>{us_f});
    EXPECT_EQ(run({}, 1, 0), std::vector<std::string>{us_c});
    EXPECT_EQ(run({}, 0, 1), std::vector<std::string>{eu_f});
    EXPECT_EQ(run({}, 1, 1), std::vector<std::string>{eu_c});
}

TEST_F(CsvExport, ExampleLineByteForByte) {
    const std::string text = [&] {
        store.all_readings = {mc_reading(PinWithTemperature, 0x14, 5)};
        rebuild_job_lists(store);
        return export_csv(store, meter, 2, 0, 0);
    }();
    EXPECT_EQ(text.substr(101), "No Title,2,7,LR,F,P-1,Sheetrock,5/13/09,14:05,PIN,12.3,,70,\r\n");
}

TEST_F(CsvExport, RhLinesComeFirstByLocationThenMcLinesByGroup) {
    Reading rh_late = rh_reading(50.0, 68.0);
    rh_late.location = 4;
    Reading rh_early = rh_reading(50.0, 68.0);
    rh_early.location = 4;
    rh_early.hour_code = 0x08;
    Reading rh_area0 = rh_reading(50.0, 68.0);
    rh_area0.location = 0;
    rh_area0.hour_code = 0x20;
    Reading pin_w = mc_reading(PinWithTemperature, 0x09, 0);
    pin_w.location = 40; // numbered location "9"
    pin_w.sub_location = 1;
    Reading pin_f = mc_reading(PinWithTemperature, 0x10, 0);
    pin_f.location = 40;
    const auto lines = run({pin_w, rh_late, pin_f, rh_early, rh_area0});
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1].substr(0, 32), "No Title,2,7,LR,,,,5/13/09,20:30");
    EXPECT_EQ(lines[2].substr(0, 31), "No Title,2,7,RE,,,,5/13/09,8:30");
    EXPECT_EQ(lines[3].substr(0, 32), "No Title,2,7,RE,,,,5/13/09,10:30");
    EXPECT_EQ(lines[4].substr(0, 21), "No Title,2,7,9,F,P-1,");
    EXPECT_EQ(lines[5].substr(0, 21), "No Title,2,7,9,W,P-1,");
}

TEST_F(CsvExport, RhLineFieldsAndOutOfRange) {
    const auto lines = run({rh_reading(50.0, 68.0), rh_reading(40.0, 212.0)});
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].rfind("No Title,2,7,LR,,,,5/13/09,10:30,RH,,50.0,68.0,", 0), 0u) << lines[1];
    EXPECT_EQ(std::count(lines[1].begin(), lines[1].end(), ','), 14);
    EXPECT_EQ(lines[2], "No Title,2,7,LR,,,,5/13/09,10:30,RH,,40.0,212.0,OR,OR");
    const auto celsius = run({rh_reading(40.0, 212.0)}, 1);
    EXPECT_EQ(celsius[1], "No Title,2,7,LR,,,,5/13/09,10:30,RH,,40.0,100.0,OR,OR");
}

TEST_F(CsvExport, SequenceLabelsRestartWithTheHalfDay) {
    const auto lines = run({
        mc_reading(PinWithTemperature, 0x09, 0),
        mc_reading(Pin, 0x09, 10),
        mc_reading(Scan, 0x10, 0, 45.0),
        mc_reading(Pin, 0x11, 59), // 11:59, still the morning
        mc_reading(Pin, 0x12, 0),  // 12:00 on a 24-hour meter: noon starts the afternoon
        mc_reading(Pin, 0x13, 0),
        mc_reading(Scan, 0x13, 5, 46.0),
        [] {
            Reading next_day = mc_reading(Pin, 0x13, 0); // the next afternoon
            next_day.day = 14;
            return next_day;
        }(),
    });
    ASSERT_EQ(lines.size(), 9u);
    std::vector<std::string> labels;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::stringstream fields(lines[i]);
        std::string field;
        for (int f = 0; f < 6; ++f) {
            std::getline(fields, field, ',');
        }
        labels.push_back(field);
    }
    EXPECT_EQ(labels,
              (std::vector<std::string>{"P-1", "P-2", "S-1", "P-3", "P-1", "P-2", "S-1", "P-1"}));
    // A scan's temperature is a single space; its value keeps one decimal.
    EXPECT_EQ(lines[3], "No Title,2,7,LR,F,S-1,Sheetrock,5/13/09,10:00,SCAN,45.0,, ,");
}

TEST_F(CsvExport, TimesAndCelsiusPinTemperatures) {
    Reading pm = mc_reading(PinWithTemperature, 0x72, 5); // 12-hour, PM, 12
    Reading am = mc_reading(PinWithTemperature, 0x49, 30);
    Reading h24 = mc_reading(PinWithTemperature, 0x07, 30);
    pm.pin_temperature = 33;
    am.pin_temperature = 0;
    h24.pin_temperature = 212;
    const auto lines = run({h24, am, pm}, 1, 1);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "No Title,2,7,LR,F,P-1,Sheetrock,13/5/09,7:30,PIN,12.3,,100,");
    // Every 12-hour clock byte counts as afternoon: the 9:30AM reading starts a new run.
    EXPECT_EQ(lines[2], "No Title,2,7,LR,F,P-1,Sheetrock,13/5/09,9:30AM,PIN,12.3,,-17,");
    EXPECT_EQ(lines[3], "No Title,2,7,LR,F,P-2,Sheetrock,13/5/09,12:05PM,PIN,12.3,,0,");
}

TEST_F(CsvExport, FieldsWithCommasOrQuotesAreQuoted) {
    meter.set_model("TRK ALFA");
    meter.apply_model_rules();
    Reading r = mc_reading(PinWithTemperature, 0x14, 5);
    r.material = 2; // "Ash, Alpine"
    const auto lines = run({r});
    EXPECT_EQ(lines[1], "TRK ALFA,2,7,LR,F,P-1,\"Ash, Alpine\",5/13/09,14:05,PIN,12.3,,70,");

    meter.set_model("A \"B\",C");
    EXPECT_EQ(run({r})[1].substr(0, 15), "\"A \"\"B\"\",C\",2,7");

    std::string out;
    append_csv_field(out, "two\r\nlines");
    append_csv_field(out, "plain text");
    append_csv_field(out, " ");
    EXPECT_EQ(out, "\"two\r\nlines\"plain text ");
}

TEST_F(CsvExport, LeavesTheSelectedJobsWorkingSetAsItWas) {
    store.working_set = {mc_reading(Pin, 0, 0)};
    const auto lines = run({rh_reading(50.0, 68.0)});
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(store.working_set, std::vector<Reading>{mc_reading(Pin, 0, 0)});
}

TEST_F(CsvExport, FileIsReplacedWhole) {
    const auto dir = std::filesystem::temp_directory_path();
    const auto path = dir / ("qm-csv-" + std::to_string(::getpid()) + ".csv");
    store.all_readings = {mc_reading(PinWithTemperature, 0x14, 5)};
    rebuild_job_lists(store);
    ASSERT_EQ(export_csv_file(path.string(), store, meter, 2, 0, 0), 0);
    EXPECT_EQ(test::read_text(path).size(), 101u + 61u);
    std::filesystem::remove(path);
    EXPECT_NE(export_csv_file((dir / "no-such-dir-qm" / "x.csv").string(), store, meter, 2, 0, 0),
              0);
}

} // namespace
} // namespace qm
