#include "tools/rq5200-sim/demo_meter.h"

#include <array>
#include <random>

namespace rq5200 {

namespace {

std::uint8_t to_bcd(int n) {
    return static_cast<std::uint8_t>(((n / 10) % 10) << 4 | (n % 10));
}

// The meter clock's hour register: bit 6 marks 12-hour mode with bit 5 PM and bit 4 the tens
// digit; in 24-hour mode bits 4-5 hold the tens digit.
std::uint8_t hour_register(int hour, bool twelve_hour) {
    if (!twelve_hour) {
        return static_cast<std::uint8_t>((hour / 10) << 4 | (hour % 10));
    }
    const bool pm = hour >= 12;
    int h = hour % 12;
    if (h == 0) {
        h = 12;
    }
    return static_cast<std::uint8_t>(0x40 | (pm ? 0x20 : 0) | (h >= 10 ? 0x10 : 0) | (h % 10));
}

// Every month has 28 days in the demo's calendar; that keeps every date valid.
template <typename When> void next_day(When& t) {
    if (++t.day > 28) {
        t.day = 1;
        if (++t.month > 12) {
            t.month = 1;
            t.year = (t.year + 1) % 100;
        }
    }
}

enum class Survey { PinRooms, ScanFloor, RoomAir, ChamberAir, FollowUp };

struct JobPlan {
    Survey survey;
    bool named_areas;
    bool twelve_hour;
};

// Jobs 1..5. Named-area jobs use room codes, the others numbered locations.
constexpr std::array<JobPlan, 5> kJobs = {{
    {Survey::PinRooms, true, true},
    {Survey::ScanFloor, false, false},
    {Survey::RoomAir, true, true},
    {Survey::ChamberAir, false, false},
    {Survey::FollowUp, true, false},
}};

// Rooms of a house in the named-area table: living room, kitchen, bathrooms, bedrooms, hall,
// laundry.
constexpr std::array<int, 8> kRooms = {0, 2, 5, 6, 8, 9, 13, 18};

class Writer {
public:
    Writer(std::mt19937& rng, std::vector<std::uint8_t>& out) : rng_(rng), out_(out) {}

    int pick(int low, int high) { return low + static_cast<int>(rng_() % (high - low + 1)); }

    struct When {
        int minute, hour, day, month, year;
        bool twelve_hour;
    };

    void common(int kind, int job, int material, int area, int sub, const When& t) {
        out_.push_back(static_cast<std::uint8_t>(kind));
        out_.push_back(static_cast<std::uint8_t>(material << 4 | job));
        out_.push_back(static_cast<std::uint8_t>(3 * area + sub));
        out_.push_back(to_bcd(t.minute));
        out_.push_back(hour_register(t.hour, t.twelve_hour));
        out_.push_back(to_bcd(t.day));
        out_.push_back(to_bcd(t.month));
        out_.push_back(to_bcd(t.year));
    }

    // Pin moisture as a count of tenths, three digits.
    void pin_digits(int tenths, int low_nibble) {
        out_.push_back(static_cast<std::uint8_t>((tenths / 100) << 4 | (tenths / 10) % 10));
        out_.push_back(static_cast<std::uint8_t>((tenths % 10) << 4 | low_nibble));
    }

    void pin_with_temperature(int tenths, int fahrenheit) {
        pin_digits(tenths, fahrenheit / 100);
        out_.push_back(to_bcd(fahrenheit % 100));
        out_.push_back(0);
    }

    void pin(int tenths) { pin_digits(tenths, 0); }

    void scan(int value) {
        out_.push_back(0);
        out_.push_back(static_cast<std::uint8_t>((value / 100) << 4 | (value / 10) % 10));
        out_.push_back(static_cast<std::uint8_t>((value % 10) << 4));
        out_.push_back(0);
    }

    void rh(int rh_tenths, int temperature_tenths) {
        out_.push_back(to_bcd(rh_tenths / 100));
        out_.push_back(to_bcd(rh_tenths % 100));
        out_.push_back(to_bcd(temperature_tenths / 100));
        out_.push_back(to_bcd(temperature_tenths % 100));
        out_.push_back(0);
    }

private:
    std::mt19937& rng_;
    std::vector<std::uint8_t>& out_;
};

void advance(Writer::When& t, int minutes) {
    t.minute += minutes;
    while (t.minute >= 60) {
        t.minute -= 60;
        if (++t.hour == 24) {
            t.hour = 0;
            next_day(t);
        }
    }
}

// One job's readings: a few readings per location, walking through the rooms or numbered spots.
void write_job(Writer& w, int job, const JobPlan& plan, int count, Writer::When& t) {
    int location = 0;
    int sub = 0;
    int at_location = 0;
    bool wet_spot = false;
    for (int i = 0; i < count; ++i) {
        if (at_location == 0) {
            location =
                plan.named_areas ? kRooms[static_cast<std::size_t>(w.pick(0, 7))] : w.pick(0, 31);
            sub = plan.survey == Survey::RoomAir || plan.survey == Survey::ChamberAir
                      ? 0
                      : w.pick(0, 2);
            at_location = w.pick(2, 4);
            wet_spot = w.pick(0, 3) == 0;
        }
        --at_location;
        advance(t, w.pick(1, 6));
        const int wet = wet_spot ? w.pick(80, 200) : 0;
        switch (plan.survey) {
        case Survey::PinRooms:
        case Survey::FollowUp:
            if (plan.survey == Survey::FollowUp && i % 3 == 2) {
                w.common(3, job, 0, location, sub, t);
                w.scan(w.pick(40, 160) + wet);
            } else if (i % 4 == 0) {
                w.common(0, job, w.pick(0, 5), location, sub, t);
                w.pin_with_temperature(w.pick(85, 170) + wet, w.pick(64, 78));
            } else {
                w.common(2, job, w.pick(0, 5), location, sub, t);
                w.pin(w.pick(85, 170) + wet);
            }
            break;
        case Survey::ScanFloor:
            w.common(3, job, 0, location, sub, t);
            w.scan(w.pick(30, 180) + 2 * wet);
            break;
        case Survey::RoomAir:
            w.common(1, job, 0, location, 0, t);
            w.rh(w.pick(420, 650) + wet, w.pick(680, 760));
            break;
        case Survey::ChamberAir:
            w.common(1, job, 0, location, 0, t);
            w.rh(w.pick(180, 320), w.pick(820, 920));
            break;
        }
    }
}

} // namespace

std::vector<std::uint8_t> demo_image(std::string_view model, std::uint32_t seed, int readings) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> out(model.begin(), model.end());
    Writer w(rng, out);
    out.push_back(0x00);
    std::uint8_t flags = 0;
    for (std::size_t j = 0; j < kJobs.size(); ++j) {
        if (kJobs[j].named_areas) {
            flags = static_cast<std::uint8_t>(flags | 1u << (j + 1));
        }
    }
    out.push_back(flags);
    for (std::size_t j = 0; j < kJobs.size(); ++j) {
        const int id = w.pick(1, 999);
        out.push_back(to_bcd(id % 100));
        out.push_back(static_cast<std::uint8_t>(id / 100));
    }
    // Five site visits on consecutive days, starting mid-morning.
    Writer::When t{0, w.pick(8, 10), w.pick(1, 20), w.pick(1, 12), w.pick(22, 25), true};
    for (std::size_t j = 0; j < kJobs.size(); ++j) {
        const int count = readings / 5 + (static_cast<int>(j) < readings % 5 ? 1 : 0);
        t.twelve_hour = kJobs[j].twelve_hour;
        t.minute = w.pick(0, 30);
        t.hour = w.pick(8, 13);
        write_job(w, static_cast<int>(j) + 1, kJobs[j], count, t);
        next_day(t);
    }
    return out;
}

} // namespace rq5200
