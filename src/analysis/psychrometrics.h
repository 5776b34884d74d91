#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace qm {

// The out-of-range marker: a derived value that cannot be computed holds this number and shows
// the text "OR".
constexpr double kOutOfRange = 99999.0;
constexpr const char* kOutOfRangeText = "OR";

// Room for the longest humidity or dew point text (11 characters) and its terminator.
constexpr std::size_t kPsychroTextSize = 12;

// Dew point and absolute humidity of one RH/T reading. Plain fixed-size record: computing one
// never allocates, so the readings view can do it for every row on every repaint.
struct PsychrometricResult {
    // Mixing ratio in grains per pound (Fahrenheit setting) or grams per kilogram (Celsius
    // setting); kOutOfRange when the temperature is outside -40..80 degrees C.
    double humidity = 0.0;
    char humidity_text[kPsychroTextSize] = {}; // "%.2f" of humidity, or "OR"
    // In the display unit before rounding; kOutOfRange where the text says "OR".
    double dew_point = 0.0;
    char dew_point_text[kPsychroTextSize] = {}; // "%.1f" of dew_point, no unit; or "OR"
};

// One row of the saturation table: temperature in degrees C, saturation vapour pressure in hPa.
struct SaturationPoint {
    double celsius;
    double hpa;
};
constexpr std::size_t kSaturationPoints = 25;
extern const std::array<SaturationPoint, kSaturationPoints> kSaturationTable;

double fahrenheit_to_celsius(double t_f);
double celsius_to_fahrenheit(double t_c);
// Whole degrees: integer arithmetic, truncating toward zero (33 -> 0, 0 -> -17).
int fahrenheit_to_celsius_whole(int t_f);

// Saturation vapour pressure over water in hPa (Buck), t_c in degrees C.
double saturation_vapour_pressure(double t_c);

// Dew point in degrees F for a vapour pressure in hPa, interpolated from kSaturationTable in
// tenths of a degree C; nothing when the pressure lies outside the table (below 0.19 or above
// 474.1 hPa).
std::optional<double> dew_point_from_vapour_pressure(double e_hpa);

// Humidity and dew point of rh percent at t_f degrees F. celsius nonzero: humidity in GPK and dew
// point text in degrees C; zero: GPP and degrees F.
PsychrometricResult compute_psychrometrics(double rh, double t_f, int celsius);

// Equivalent moisture content of wood (percent, never negative) in air of rh percent at t_f
// degrees F (Hailwood-Horrobin, Wood Handbook coefficients). No range check.
double equivalent_moisture_content(double rh, double t_f);

// The EMC as shown: "%.1f%%" (9.3%).
std::string format_emc(double emc);

} // namespace qm
