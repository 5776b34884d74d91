#include "summaries/summary_printout.h"

#include "store/lookup_tables.h"

#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

// Page geometry in units of u.
constexpr int kUnitDivisor = 600;
constexpr int kHeadingTopUnits = 55;
constexpr int kRowInsetUnits = 150; // rows run from 150u to width - 150u
// The notes stand this far under the top of the last row: the label, then the notes box.
constexpr int kNotesLabelBelowUnits = 36;
constexpr int kNotesTextBelowUnits = 60;
constexpr int kNotesBottomBelowUnits = 132;
constexpr int kMcLastRowUnits = 276; // notes label at 312u, notes from 336u to 408u
constexpr int kRhLastRowUnits = 158; // notes label at 194u, notes from 218u to 290u
// The notes box keeps this many pixels (not units) from either edge of the page.
constexpr int kNotesMarginPixels = 10;

std::string format_heading(const char* format, const SummaryHeading& h, bool with_sub_location) {
    const std::string location(location_name(h.location));
    const std::string sub_location(sub_location_name(h.sub_location));
    const int size =
        with_sub_location
            ? std::snprintf(nullptr, 0, format, h.model_name.c_str(), h.job_entry.c_str(), h.job_id,
                            location.c_str(), sub_location.c_str())
            : std::snprintf(nullptr, 0, format, h.model_name.c_str(), h.job_entry.c_str(), h.job_id,
                            location.c_str());
    std::string text(static_cast<std::size_t>(std::max(size, 0)) + 1, '\0');
    if (with_sub_location) {
        std::snprintf(text.data(), text.size(), format, h.model_name.c_str(), h.job_entry.c_str(),
                      h.job_id, location.c_str(), sub_location.c_str());
    } else {
        std::snprintf(text.data(), text.size(), format, h.model_name.c_str(), h.job_entry.c_str(),
                      h.job_id, location.c_str());
    }
    text.pop_back();
    return text;
}

// Adds the rows of one page: each label at the left and its value at the right of the row box;
// a row without a label is a centred section heading.
class RowWriter {
public:
    RowWriter(SummaryPage& page, int width, int height)
        : page_(page), left_(kRowInsetUnits * page.unit),
          right_(width - kRowInsetUnits * page.unit), bottom_(height) {}

    void row(int top_units, std::string_view label, std::string_view value) {
        const PageRect box{left_, top_units * page_.unit, right_, bottom_};
        page_.texts.push_back({std::string(label), box, PageAlign::Left, true});
        page_.texts.push_back({std::string(value), box, PageAlign::Right, true});
    }
    void section(int top_units, std::string_view title) {
        const PageRect box{left_, top_units * page_.unit, right_, bottom_};
        page_.texts.push_back({std::string(title), box, PageAlign::Center, true});
    }

private:
    SummaryPage& page_;
    int left_;
    int right_;
    int bottom_;
};

// "Notes:" centred, then the notes wrapped in a box under it, both under the row at last_row_units.
void add_notes(SummaryPage& page, int width, int last_row_units, std::string_view notes) {
    const int u = page.unit;
    const int left = kNotesMarginPixels;
    const int right = width - kNotesMarginPixels;
    const int bottom = (last_row_units + kNotesBottomBelowUnits) * u;
    page.texts.push_back({"Notes:",
                          {left, (last_row_units + kNotesLabelBelowUnits) * u, right, bottom},
                          PageAlign::Center,
                          true});
    page.notes = PageNotes{std::string(notes),
                           {left, (last_row_units + kNotesTextBelowUnits) * u, right, bottom}};
}

} // namespace

std::string_view rh_minimum_label(std::int32_t celsius) {
    return celsius != 0 ? "Minimum GPK Value" : "Minimum GPP Value";
}

std::string_view rh_maximum_label(std::int32_t celsius) {
    return celsius != 0 ? "Maximum GPK Value" : "Maximum GPP Value";
}

int summary_unit(int width) {
    return std::max(1, width / kUnitDivisor);
}

std::string mc_summary_heading(const SummaryHeading& heading) {
    return format_heading("%s\n%s   ID#%i\nArea - %s Location - %s\n", heading, true);
}

std::string rh_summary_heading(const SummaryHeading& heading) {
    return format_heading("%s\n%s   ID#%i\nArea - %s\n", heading, false);
}

SummaryPage mc_summary_page(int width, int height, const SummaryHeading& heading,
                            const JobStatistics& stats, std::string_view notes) {
    SummaryPage page;
    page.unit = summary_unit(width);
    const int u = page.unit;
    page.texts.push_back({mc_summary_heading(heading),
                          {0, kHeadingTopUnits * u, width, height},
                          PageAlign::Center,
                          false});

    RowWriter rows(page, width, height);
    rows.row(132, "First", stats.first_text);
    rows.row(144, "Last", stats.last_text);
    rows.section(168, "PIN");
    rows.row(180, "Number of Readings", stats.count_text);
    rows.row(192, "Material", stats.material_text);
    rows.row(204, "Minimum Value", stats.min_text);
    rows.row(216, "Maximum Value", stats.max_text);
    rows.section(240, "SCAN");
    rows.row(252, "Number of Readings", stats.scan_count_text);
    rows.row(264, "Minimum Value", stats.scan_min_text);
    rows.row(kMcLastRowUnits, "Maximum Value", stats.scan_max_text);
    add_notes(page, width, kMcLastRowUnits, notes);
    return page;
}

SummaryPage rh_summary_page(int width, int height, const SummaryHeading& heading,
                            const JobStatistics& stats, std::int32_t celsius,
                            std::string_view notes) {
    SummaryPage page;
    page.unit = summary_unit(width);
    page.texts.push_back({rh_summary_heading(heading),
                          {0, kHeadingTopUnits * page.unit, width, height},
                          PageAlign::Center,
                          false});
    RowWriter rows(page, width, height);
    rows.row(110, "Number of Readings", stats.count_text);
    rows.row(122, "First", stats.first_text);
    rows.row(134, "Last", stats.last_text);
    rows.row(146, rh_minimum_label(celsius), stats.min_text);
    rows.row(kRhLastRowUnits, rh_maximum_label(celsius), stats.max_text);
    // A job without notes prints the page it always printed.
    if (!notes.empty()) {
        add_notes(page, width, kRhLastRowUnits, notes);
    }
    return page;
}

} // namespace qm
