#include "text/reading_time.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

constexpr std::int32_t kUsDate = 0;
constexpr std::int32_t kInternationalDate = 1;

TEST(ReadingTimeTexts, TwelveAndTwentyFourHourClocksAndBothDateOrders) {
    Reading r;
    r.year = 3;
    r.month = 8;
    r.day = 28;
    r.hour_code = 0x41; // 1 AM, 12-hour mode
    r.minute = 5;
    EXPECT_EQ(format_reading_time(r), "1:05AM");
    EXPECT_EQ(format_reading_date_time(r, kUsDate), "8/28/03 1:05AM");
    EXPECT_EQ(format_reading_date_time(r, kInternationalDate), "28/8/03 1:05AM");
    r.hour_code = 0x72; // 12-hour mode, PM, tens digit: 12 PM
    r.minute = 30;
    EXPECT_EQ(format_reading_time(r), "12:30PM");
    r.hour_code = 0x52; // 12 AM
    EXPECT_EQ(format_reading_time(r), "12:30AM");
    r.hour_code = 0x23; // 24-hour mode
    r.minute = 0;
    EXPECT_EQ(format_reading_time(r), "23:00");
    r.hour_code = 0x07;
    r.year = 10;
    r.month = 12;
    r.day = 1;
    EXPECT_EQ(format_reading_date_time(r, kUsDate), "12/1/10 7:00");
    EXPECT_EQ(format_reading_date(r, kInternationalDate), "1/12/10");
}

} // namespace
} // namespace qm
