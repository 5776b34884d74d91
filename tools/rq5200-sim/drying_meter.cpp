#include "tools/rq5200-sim/drying_meter.h"

#include "tools/rq5200-sim/meter_records.h"

#include <array>
#include <cmath>

namespace rq5200 {

namespace {

constexpr int kJob = 2;
constexpr int kJobId = 118;
constexpr int kStartDay = 2; // 2 March 2026; day N is N days later
constexpr int kMonth = 3;
constexpr int kYear = 26;
constexpr int kVisitHour = 11;
constexpr int kVisitMinute = 45;
constexpr int kMinutesApart = 3;

enum Area { Kitchen = 2, Bath = 5, Hall = 13, Outlet = 26, Outside = 27 };
enum Sub { Floor = 0, Wall = 1, Ceiling = 2 };
enum Material { Plaster = 1, DougFir = 10 }; // the same index in both material lists

enum class Record { PinWithTemperature, Pin, Scan };

// A moisture point: where, what, and how it dries: from `wet` toward `dry` by the factor
// exp(-rate) a day, plus `again` on the day it gets wet again.
struct WetPoint {
    Area area;
    Sub sub;
    Material material;
    Record record;
    double wet;
    double dry;
    double rate;
    int wet_again_day;
};

constexpr std::array<WetPoint, 8> kPoints = {{
    {Kitchen, Wall, Plaster, Record::Pin, 34.8, 11.0, 0.9, 0},
    {Kitchen, Ceiling, Plaster, Record::Pin, 16.0, 11.0, 1.2, 0},
    {Kitchen, Floor, DougFir, Record::PinWithTemperature, 28.0, 12.0, 0.6, 6},
    {Bath, Floor, DougFir, Record::Pin, 24.0, 12.0, 0.25, 0},
    {Kitchen, Wall, Plaster, Record::Scan, 140.0, 38.0, 0.7, 0},
    // The unaffected references: the hall's wall and floor, near their standard every day.
    {Hall, Wall, Plaster, Record::Pin, 11.0, 11.0, 0.0, 0},
    {Hall, Floor, DougFir, Record::Pin, 12.0, 12.0, 0.0, 0},
    {Hall, Wall, Plaster, Record::Scan, 38.0, 38.0, 0.0, 0},
}};

// A reference wanders a little from day to day, in tenths.
constexpr std::array<int, kDryingDays> kWander = {2, 0, 3, -1, 1, 0, -2};

double value_on(const WetPoint& p, int day) {
    double v = p.dry + (p.wet - p.dry) * std::exp(-p.rate * (day - 1));
    if (p.rate == 0.0) {
        v += kWander[static_cast<std::size_t>(day - 1)] * (p.record == Record::Scan ? 1.0 : 0.1);
    }
    if (p.wet_again_day != 0 && day >= p.wet_again_day) {
        v += 6.0 * std::exp(-1.0 * (day - p.wet_again_day));
    }
    return v;
}

void write_point(RecordWriter& w, const WetPoint& p, int day, const MeterTime& t) {
    const int kind = p.record == Record::PinWithTemperature ? 0 : p.record == Record::Pin ? 2 : 3;
    w.common(kind, kJob, p.material, p.area, p.sub, t);
    const int tenths = static_cast<int>(std::lround(value_on(p, day) * 10.0));
    switch (p.record) {
    case Record::PinWithTemperature:
        w.pin_with_temperature(tenths, 70 + day % 3);
        break;
    case Record::Pin:
        w.pin(tenths);
        break;
    case Record::Scan:
        w.scan(tenths / 10);
        break;
    }
}

// The air of a day: where, RH and temperature (degrees F), in tenths.
void write_air(RecordWriter& w, int day, MeterTime& t, void (*next)(MeterTime&)) {
    const int kitchen_rh = static_cast<int>(std::lround(450 + 250 * std::exp(-0.5 * (day - 1))));
    const std::array<std::array<int, 3>, 4> air = {{
        {Kitchen, kitchen_rh, 720 + 5 * (day % 3)},
        {Hall, 460, 710},
        {Outlet, 150 + 10 * (day % 3), 950 - 10 * (day % 2)},
        {Outside, 750 + 20 * (day % 4), 480 + 20 * (day % 3)},
    }};
    for (const auto& [area, rh, temperature] : air) {
        w.common(1, kJob, 0, area, 0, t);
        w.rh(rh, temperature);
        next(t);
    }
}

void advance(MeterTime& t) {
    t.minute += kMinutesApart;
    if (t.minute >= 60) {
        t.minute -= 60;
        ++t.hour;
    }
}

} // namespace

std::vector<std::uint8_t> drying_day_image(std::string_view model, int day) {
    std::vector<std::uint8_t> out(model.begin(), model.end());
    out.push_back(0x00);
    out.push_back(static_cast<std::uint8_t>(1u << kJob)); // job 2 uses named areas
    for (int job = 1; job <= 5; ++job) {
        const int id = job == kJob ? kJobId : 0;
        out.push_back(to_bcd(id % 100));
        out.push_back(static_cast<std::uint8_t>(id / 100));
    }
    RecordWriter w(out);
    MeterTime t{kVisitMinute, kVisitHour, kStartDay + day, kMonth, kYear, true};
    for (const WetPoint& p : kPoints) {
        write_point(w, p, day, t);
        advance(t);
    }
    write_air(w, day, t, advance);
    if (day == 2) {
        // Back in the afternoon: the wet wall again, a little drier.
        const MeterTime afternoon{40, 16, t.day, kMonth, kYear, true};
        WetPoint wall = kPoints[0];
        wall.wet -= 1.5;
        write_point(w, wall, day, afternoon);
    }
    return out;
}

} // namespace rq5200
