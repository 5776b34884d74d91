#include "text/reading_time.h"

#include "text/text_format.h"

namespace qm {

std::string format_reading_time(const Reading& reading) {
    // "%i:%.2i", with "AM" or "PM" after a 12-hour time
    std::string text;
    append_int(text, decoded_hour(reading.hour_code));
    text += ':';
    append_int2(text, reading.minute);
    if (hour_is_12h(reading.hour_code)) {
        text += hour_is_pm(reading.hour_code) ? "PM" : "AM";
    }
    return text;
}

std::string format_reading_date(const Reading& reading, std::int32_t international_date) {
    // "%i/%i/%.2i": day first for the international order, month first otherwise
    std::string text;
    append_int(text, international_date != 0 ? reading.day : reading.month);
    text += '/';
    append_int(text, international_date != 0 ? reading.month : reading.day);
    text += '/';
    append_int2(text, reading.year);
    return text;
}

std::string format_reading_date_time(const Reading& reading, std::int32_t international_date) {
    return format_reading_date(reading, international_date) + ' ' + format_reading_time(reading);
}

} // namespace qm
