#include "analysis/psychrometrics.h"

#include "text/text_format.h"

#include <cmath>
#include <cstdio>

namespace qm {

// The doubles nearest to 5/9 and 1/234.5, used as multipliers rather than divisions: the last
// printed digit of some dew points and humidities depends on it.
constexpr double kFiveNinths = 0.5555555555555556;
constexpr double kInverseBuckD = 0.0042643923240938165;

constexpr double kMinCelsius = -40.0;
constexpr double kMaxCelsius = 80.0;
constexpr double kStandardAtmospherePa = 101325.0;
constexpr double kWaterToDryAirRatio = 0.6219;
constexpr double kGrainsPerPound = 7000.0;
constexpr double kGramsPerKilogram = 1000.0;

const std::array<SaturationPoint, kSaturationPoints> kSaturationTable = {{
    {-40, 0.19},  {-35, 0.31},  {-30, 0.51},  {-25, 0.81}, {-20, 1.26},  {-15, 1.91}, {-10, 2.87},
    {-5, 4.22},   {0, 6.11},    {5, 8.72},    {10, 12.28}, {15, 17.05},  {20, 23.38}, {25, 31.69},
    {30, 42.45},  {35, 56.27},  {40, 73.82},  {45, 95.92}, {50, 123.49}, {55, 157.6}, {60, 199.45},
    {65, 250.41}, {70, 312.01}, {75, 385.95}, {80, 474.1},
}};

double fahrenheit_to_celsius(double t_f) {
    return (t_f - 32.0) * kFiveNinths;
}

double celsius_to_fahrenheit(double t_c) {
    return t_c * 1.8 + 32.0;
}

int fahrenheit_to_celsius_whole(int t_f) {
    // In 64 bits so that no stored value can overflow; C++ division truncates toward zero.
    return static_cast<int>((static_cast<long long>(t_f) - 32) * 5 / 9);
}

double saturation_vapour_pressure(double t_c) {
    const double a = 18.678 - t_c * kInverseBuckD;
    return 6.1121 * std::exp(a * t_c / (t_c + 257.14));
}

std::optional<double> dew_point_from_vapour_pressure(double e_hpa) {
    const auto& table = kSaturationTable;
    // Written so that NaN fails the test as well.
    if (!(e_hpa >= table.front().hpa)) {
        return std::nullopt;
    }
    std::size_t i = 1;
    while (i < table.size() && !(table[i].hpa > e_hpa)) {
        ++i;
    }
    if (i == table.size()) {
        // Only the last pressure itself still has a dew point: 80 degrees C.
        if (e_hpa == table.back().hpa) {
            return celsius_to_fahrenheit(table.back().celsius);
        }
        return std::nullopt;
    }
    // Tenths of a degree below entry i, rounded to the nearest tenth with halves upward.
    const double q = 50.0 * (table[i].hpa - e_hpa) / (table[i].hpa - table[i - 1].hpa);
    double n = std::trunc(q);
    if (q - n >= 0.5) {
        n += 1.0;
    }
    const double dew_c = table[i].celsius - n * 0.1;
    return celsius_to_fahrenheit(dew_c);
}

PsychrometricResult compute_psychrometrics(double rh, double t_f, int celsius) {
    PsychrometricResult result;
    const double t_c = fahrenheit_to_celsius(t_f);
    // The bounds themselves are in range; NaN is not.
    if (!(t_c >= kMinCelsius && t_c <= kMaxCelsius)) {
        result.humidity = kOutOfRange;
        result.dew_point = kOutOfRange;
        std::snprintf(result.humidity_text, sizeof result.humidity_text, "%s", kOutOfRangeText);
        std::snprintf(result.dew_point_text, sizeof result.dew_point_text, "%s", kOutOfRangeText);
        return result;
    }

    const double es = saturation_vapour_pressure(t_c);
    const double e_pa = es * rh * 0.01 * 100.0;
    const double w = kWaterToDryAirRatio * e_pa / (kStandardAtmospherePa - e_pa);
    result.humidity = w * (celsius != 0 ? kGramsPerKilogram : kGrainsPerPound);
    format_fixed(result.humidity_text, sizeof result.humidity_text, result.humidity, 2);

    const std::optional<double> dew_f = dew_point_from_vapour_pressure(e_pa * 0.01);
    if (!dew_f) {
        result.dew_point = kOutOfRange;
        std::snprintf(result.dew_point_text, sizeof result.dew_point_text, "%s", kOutOfRangeText);
    } else {
        result.dew_point = celsius != 0 ? fahrenheit_to_celsius(*dew_f) : *dew_f;
        format_fixed(result.dew_point_text, sizeof result.dew_point_text, result.dew_point, 1);
    }
    return result;
}

double equivalent_moisture_content(double rh, double t_f) {
    const double h = rh * 0.01;
    const double t = t_f;
    const double t2 = t * t;
    const double w = 330.0 + 0.452 * t + 0.00415 * t2;
    const double k = 0.791 + 0.000463 * t - 0.000000844 * t2;
    const double k1 = 6.34 + 0.000775 * t - 0.0000935 * t2;
    const double k2 = 1.09 + 0.0284 * t - 0.0000904 * t2;
    const double kh = k * h;
    const double a = k1 * k2 * kh * kh;
    const double b = k1 * kh;
    const double emc = (1800.0 / w) * (kh / (1.0 - kh) + (b + 2.0 * a) / (1.0 + b + a));
    return emc < 0.0 ? 0.0 : emc;
}

std::string format_emc(double emc) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f%%", emc);
    return text;
}

} // namespace qm
