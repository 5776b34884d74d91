#pragma once

// The bytes of a meter's memory image as the base unit sends them: packed decimal (BCD) numbers,
// the clock's hour register and the records of each reading kind.

#include <cstdint>
#include <vector>

namespace rq5200 {

inline std::uint8_t to_bcd(int n) {
    return static_cast<std::uint8_t>(((n / 10) % 10) << 4 | (n % 10));
}

// The meter clock's hour register: bit 6 marks 12-hour mode with bit 5 PM and bit 4 the tens
// digit; in 24-hour mode bits 4-5 hold the tens digit.
inline std::uint8_t hour_register(int hour, bool twelve_hour) {
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

// When a reading was taken, as the meter's clock holds it (two-digit year).
struct MeterTime {
    int minute, hour, day, month, year;
    bool twelve_hour;
};

// Appends reading records to a memory image.
class RecordWriter {
public:
    explicit RecordWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void common(int kind, int job, int material, int area, int sub, const MeterTime& t) {
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
    std::vector<std::uint8_t>& out_;
};

} // namespace rq5200
