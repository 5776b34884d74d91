#include "tools/rq5200-sim/demo_meter.h"

#include "tools/rq5200-sim/meter_records.h"

#include <array>
#include <random>

namespace rq5200 {

namespace {

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

class Writer : public RecordWriter {
public:
    Writer(std::mt19937& rng, std::vector<std::uint8_t>& out) : RecordWriter(out), rng_(rng) {}

    int pick(int low, int high) { return low + static_cast<int>(rng_() % (high - low + 1)); }

    using When = MeterTime;

private:
    std::mt19937& rng_;
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
