#include "analysis/psychrometrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace qm {
namespace {

constexpr int kFahrenheit = 0;
constexpr int kCelsius = 1;

struct Expected {
    double rh;
    double t_f;
    const char* gpp;
    const char* dew_f;
    const char* gpk;
    const char* dew_c;
};

// The figures users compare against their meters' tables, under both unit settings.
TEST(Psychrometrics, KnownReadingsUnderBothUnits) {
    const Expected cases[] = {
        {50.0, 68.0, "50.82", "48.6", "7.26", "9.2"},
        {65.0, 70.0, "71.08", "57.6", "10.15", "14.2"},
        {100.0, 32.0, "26.42", "32.0", "3.77", "0.0"},
        // 100 % at 80 degrees C: the vapour pressure lies just above the table's last entry.
        {100.0, 176.0, "3828.10", "OR", "546.87", "OR"},
        // -40 degrees is accepted, but the vapour pressure is below the table.
        {30.0, -40.0, "0.24", "OR", "0.03", "OR"},
        {0.0, 68.0, "0.00", "OR", "0.00", "OR"},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rh << "% at " << c.t_f << "F");
        const PsychrometricResult f = compute_psychrometrics(c.rh, c.t_f, kFahrenheit);
        EXPECT_STREQ(f.humidity_text, c.gpp);
        EXPECT_STREQ(f.dew_point_text, c.dew_f);
        const PsychrometricResult m = compute_psychrometrics(c.rh, c.t_f, kCelsius);
        EXPECT_STREQ(m.humidity_text, c.gpk);
        EXPECT_STREQ(m.dew_point_text, c.dew_c);
        EXPECT_NE(f.humidity, kOutOfRange);
        // The number behind the text: "OR" is kOutOfRange, anything else rounds to the text.
        for (const PsychrometricResult* r : {&f, &m}) {
            const std::string text = r->dew_point_text;
            EXPECT_EQ(text == "OR" ? kOutOfRange : std::stod(text),
                      text == "OR" ? r->dew_point : std::round(r->dew_point * 10.0) / 10.0);
        }
    }
}

TEST(Psychrometrics, TemperatureOutsideMinus40To80CelsiusMarksBothValues) {
    for (double t_f : {-41.0, 176.5, 1000.0}) {
        for (int unit : {kFahrenheit, kCelsius}) {
            const PsychrometricResult r = compute_psychrometrics(50.0, t_f, unit);
            EXPECT_EQ(r.humidity, kOutOfRange);
            EXPECT_STREQ(r.humidity_text, "OR");
            EXPECT_STREQ(r.dew_point_text, "OR");
            EXPECT_EQ(r.dew_point, kOutOfRange);
        }
    }
    // Both bounds themselves are in range.
    EXPECT_NE(compute_psychrometrics(50.0, -40.0, kFahrenheit).humidity, kOutOfRange);
    EXPECT_NE(compute_psychrometrics(50.0, 176.0, kFahrenheit).humidity, kOutOfRange);
    // A temperature that is not a number cannot be placed in the range either.
    EXPECT_STREQ(compute_psychrometrics(50.0, std::nan(""), kFahrenheit).humidity_text, "OR");
}

TEST(Psychrometrics, PressureOnATableEntryGivesThatEntrysTemperature) {
    for (std::size_t k = 0; k < kSaturationTable.size(); ++k) {
        SCOPED_TRACE(k);
        const std::optional<double> dew_f = dew_point_from_vapour_pressure(kSaturationTable[k].hpa);
        ASSERT_TRUE(dew_f.has_value());
        EXPECT_NEAR(fahrenheit_to_celsius(*dew_f), kSaturationTable[k].celsius, 1e-9);
    }
    EXPECT_FALSE(dew_point_from_vapour_pressure(0.1899).has_value());
    EXPECT_FALSE(dew_point_from_vapour_pressure(474.1001).has_value());
    EXPECT_FALSE(dew_point_from_vapour_pressure(std::nan("")).has_value());
}

TEST(Psychrometrics, InterpolationRoundsToTenthsWithHalvesUp) {
    // Between 0 degrees (6.11) and 5 degrees (8.72): q = 50 * (8.72 - e) / 2.61.
    const auto dew_c = [](double e_hpa) {
        return fahrenheit_to_celsius(*dew_point_from_vapour_pressure(e_hpa));
    };
    EXPECT_NEAR(dew_c(8.72 - 2.61 * 10.51 / 50), 3.9, 1e-9); // q = 10.51 rounds up to 11
    EXPECT_NEAR(dew_c(8.72 - 2.61 * 10.49 / 50), 4.0, 1e-9); // q = 10.49 rounds down to 10
    EXPECT_NEAR(dew_c(8.719), 5.0, 1e-9);                    // q just above 0
    EXPECT_NEAR(dew_c(6.1101), 0.0, 1e-9);                   // q just below 50
}

TEST(Psychrometrics, WholeDegreesTruncateTowardZero) {
    EXPECT_EQ(fahrenheit_to_celsius_whole(70), 21);
    EXPECT_EQ(fahrenheit_to_celsius_whole(32), 0);
    EXPECT_EQ(fahrenheit_to_celsius_whole(33), 0);
    EXPECT_EQ(fahrenheit_to_celsius_whole(0), -17);
    EXPECT_EQ(fahrenheit_to_celsius_whole(-40), -40);
    EXPECT_EQ(fahrenheit_to_celsius_whole(999), 537);
}

TEST(EquivalentMoistureContent, WoodHandbookValuesAndNoNegatives) {
    EXPECT_EQ(format_emc(equivalent_moisture_content(50.0, 68.0)), "9.3%");
    EXPECT_EQ(format_emc(equivalent_moisture_content(65.0, 70.0)), "12.0%");
    EXPECT_EQ(format_emc(equivalent_moisture_content(0.0, 68.0)), "0.0%");
    // The formula turns negative for a slightly negative humidity; that is reported as 0.
    EXPECT_EQ(equivalent_moisture_content(-10.0, 68.0), 0.0);
}

} // namespace
} // namespace qm
