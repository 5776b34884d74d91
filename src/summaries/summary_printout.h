#pragma once

#include "analysis/job_statistics.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The printed job summaries, laid out in device pixels for a printable area of a given size.
// Every position is a multiple of the unit u = width / 600; the painter only draws what is here.

// A box in device pixels; right and bottom are exclusive.
struct PageRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const PageRect&) const = default;
};

enum class PageAlign {
    Left,
    Center,
    Right,
};

// A text drawn from the top of its box. A single-line text ignores line breaks; the others break
// at "\n". Nothing is clipped to the box.
struct PageText {
    std::string text; // Windows-1252
    PageRect box;
    PageAlign align = PageAlign::Left;
    bool single_line = true;
};

// Free text drawn centred and wrapped at word boundaries inside its box; what does not fit above
// the bottom of the box is cut off.
struct PageNotes {
    std::string text; // Windows-1252, "\n" (or "\r\n") between lines
    PageRect box;
};

struct SummaryPage {
    int unit = 1;
    std::vector<PageText> texts; // in drawing order
    std::optional<PageNotes> notes;
};

// What the heading of a printed summary names.
struct SummaryHeading {
    std::string model_name;
    std::string job_entry; // the job list's entry text ("Job #3" or the job's title)
    std::int32_t job_id = 0;
    int location = 0;
    int sub_location = 0; // MC only
};

// Labels of the RH/T summary's humidity rows, in the window and on paper: grains per pound under
// Fahrenheit, grams per kilogram under Celsius.
std::string_view rh_minimum_label(std::int32_t celsius);
std::string_view rh_maximum_label(std::int32_t celsius);

// u = width / 600, at least 1, so that a printer narrower than 600 pixels still gets a page whose
// rows do not all collapse onto one line.
int summary_unit(int width);

// The MC heading: model, job entry and ID, area and location on three lines.
std::string mc_summary_heading(const SummaryHeading& heading);
// The RH/T heading: model, job entry and ID, area.
std::string rh_summary_heading(const SummaryHeading& heading);

// The printed MC summary: heading, the First and Last rows, the PIN and SCAN sections, then
// "Notes:" and the job's notes.
SummaryPage mc_summary_page(int width, int height, const SummaryHeading& heading,
                            const JobStatistics& stats, std::string_view notes);

// The printed RH/T summary: heading and five rows, then, when the job has notes, "Notes:" and the
// notes placed under the rows as the MC summary places them under its rows.
SummaryPage rh_summary_page(int width, int height, const SummaryHeading& heading,
                            const JobStatistics& stats, std::int32_t celsius,
                            std::string_view notes);

} // namespace qm
