#include "report/report_content.h"

#include "analysis/job_statistics.h"
#include "resources/version.h"
#include "text/reading_time.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <limits>

namespace qm {

namespace {

// Two-letter territory codes of the locales whose paper is Letter.
constexpr std::array<std::string_view, 14> kLetterTerritories = {
    "US", "CA", "MX", "PH", "PR", "CL", "CO", "CR", "DO", "GT", "NI", "PA", "SV", "VE"};

constexpr std::string_view kNoTime = "-";

bool same_name(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string units_text(RecordKind kind, const ReportUnits& units) {
    std::string text = units.celsius ? "\xB0"
                                       "C"
                                     : "\xB0"
                                       "F";
    if (kind == RecordKind::Rh) {
        text += units.celsius ? ", GPK (grams of water per kilogram of dry air)"
                              : ", GPP (grains of water per pound of dry air)";
    } else {
        text += ", %MC (pin readings), meter scale (scan readings)";
    }
    text += units.international_date ? "; dates day/month/year" : "; dates month/day/year";
    return text;
}

} // namespace

std::optional<Paper> paper_from_name(std::string_view name) {
    if (same_name(name, "a4")) {
        return Paper::A4;
    }
    if (same_name(name, "letter")) {
        return Paper::Letter;
    }
    return std::nullopt;
}

std::string_view paper_name(Paper paper) {
    return paper == Paper::Letter ? "letter" : "a4";
}

Paper paper_for_locale(std::string_view locale) {
    // language[_TERRITORY][.codeset][@modifier]
    const std::size_t underscore = locale.find('_');
    if (underscore == std::string_view::npos) {
        return Paper::A4;
    }
    const std::string_view territory = locale.substr(underscore + 1, 2);
    const bool letter = std::find(kLetterTerritories.begin(), kLetterTerritories.end(),
                                  territory) != kLetterTerritories.end();
    return letter ? Paper::Letter : Paper::A4;
}

std::string paper_locale_from_environment() {
    for (const char* name : {"LC_ALL", "LC_PAPER", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

std::string report_title(const ReportFields& fields, const ReportJob& job) {
    if (!fields.title.empty()) {
        return fields.title;
    }
    if (!job.title.empty()) {
        return job.title;
    }
    return "Job #" + std::to_string(job.job);
}

std::string job_reference(const ReportJob& job) {
    return "Job #" + std::to_string(job.job) + ", ID# " + std::to_string(job.job_id);
}

std::string section_title(const ReportJob& job, const ReportUnits& units) {
    const std::string title = report_title({}, job);
    if (job.readings.empty()) {
        return title;
    }
    const auto first = std::min_element(
        job.readings.begin(), job.readings.end(),
        [](const Reading& a, const Reading& b) { return reading_minute(a) < reading_minute(b); });
    static constexpr std::array<std::string_view, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed",
                                                                  "Thu", "Fri", "Sat"};
    const std::int64_t day = reading_minute(*first) / (24 * 60);
    // Day 0 (1 January 2000) was a Saturday.
    const auto weekday = static_cast<std::size_t>(((day + 6) % 7 + 7) % 7);
    std::string text = std::string(kWeekdays[weekday]) + ' ' +
                       format_reading_date_time(*first, units.international_date ? 1 : 0) +
                       " \x96 " + title;
    if (!job.technician.empty()) {
        text += " \x96 " + job.technician;
    }
    return text;
}

void order_by_meter_time(std::vector<ReportJob>& jobs) {
    const auto first_minute = [](const ReportJob& job) {
        std::int64_t first = std::numeric_limits<std::int64_t>::max();
        for (const Reading& r : job.readings) {
            first = std::min(first, reading_minute(r));
        }
        return first;
    };
    std::vector<std::pair<std::int64_t, std::size_t>> keys;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        keys.emplace_back(first_minute(jobs[i]), i);
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ReportJob> ordered;
    ordered.reserve(jobs.size());
    for (const auto& key : keys) {
        ordered.push_back(std::move(jobs[key.second]));
    }
    jobs = std::move(ordered);
}

std::vector<std::string> prepared_lines(const ReportFields& fields) {
    std::vector<std::string> lines;
    const std::array<std::pair<std::string_view, const std::string*>, 3> parts = {{
        {"Prepared for: ", &fields.prepared_for},
        {"Site: ", &fields.site},
        {"Prepared by: ", &fields.prepared_by},
    }};
    for (const auto& [label, value] : parts) {
        if (!value->empty()) {
            lines.push_back(std::string(label) + *value);
        }
    }
    return lines;
}

std::vector<std::pair<std::string, std::string>>
heading_facts(const ReportJob& job, const ReportUnits& units, const CodeNames& codes) {
    const ReadingsSpan span = readings_span(job.readings);
    const std::int32_t order = units.international_date ? 1 : 0;
    const auto time_of = [&](const Reading& r) {
        return span.count == 0 ? std::string(kNoTime) : format_reading_date_time(r, order);
    };
    const std::string kind = job.kind == RecordKind::Mc
                                 ? " moisture content (MC)"
                                 : " relative humidity and temperature (RH/T)";
    std::vector<std::pair<std::string, std::string>> facts = {
        {"Job", job_reference(job)},
        {"Meter", job.model},
        {"Readings", std::to_string(span.count) + kind},
        {"First reading", time_of(span.first)},
        {"Last reading", time_of(span.last)},
        {"Units", units_text(job.kind, units)},
    };
    std::string legend = codes_legend(job.readings, codes);
    if (!legend.empty()) {
        facts.emplace_back("Codes", std::move(legend));
    }
    const std::pair<const char*, const std::string*> said[] = {{"Technician", &job.technician},
                                                               {"Meter name", &job.meter_name},
                                                               {"Calibration", &job.calibration}};
    for (const auto& [label, text] : said) {
        if (!text->empty()) {
            facts.emplace_back(label, *text);
        }
    }
    return facts;
}

std::vector<std::string> notes_lines(const ReportJob& job) {
    std::vector<std::string> lines;
    const std::string notes = notes_with_newlines(job.notes);
    if (notes.empty()) {
        return lines;
    }
    std::size_t start = 0;
    while (start <= notes.size()) {
        const std::size_t end = std::min(notes.find('\n', start), notes.size());
        lines.push_back(notes.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string printed_text(const CalendarDate& date, bool international_date) {
    const std::string month(month_abbreviation(date.month));
    const std::string day = std::to_string(date.day);
    const std::string year = std::to_string(date.year);
    return "Printed " +
           (international_date ? day + ' ' + month + ' ' + year : month + ' ' + day + ", " + year);
}

std::string program_text() {
    return std::string("Quellmark ") + kVersion;
}

std::string page_text(int page, int pages) {
    return "Page " + std::to_string(page) + " of " + std::to_string(pages);
}

std::string continued_title(const ReportFields& fields, const ReportJob& job) {
    const std::string title = report_title(fields, job);
    // A job without a title is named by its reference alone.
    return title == "Job #" + std::to_string(job.job) ? std::string() : title;
}

std::string continued_job(const ReportJob& job) {
    return job_reference(job) + " (continued)";
}

DocumentInfo document_info(const ReportFields& fields, std::span<const ReportJob> jobs) {
    DocumentInfo info;
    info.author = fields.prepared_by;
    std::string references;
    std::vector<std::string> titles;
    for (const ReportJob& job : jobs) {
        std::string title = report_title(fields, job);
        if (std::find(titles.begin(), titles.end(), title) == titles.end()) {
            info.title += (info.title.empty() ? "" : "; ") + title;
            titles.push_back(std::move(title));
        }
        references += (references.empty() ? "" : "; ") + job_reference(job);
    }
    bool mc = false;
    bool rh = false;
    for (const ReportJob& job : jobs) {
        (job.kind == RecordKind::Mc ? mc : rh) = true;
    }
    info.subject = mc && rh ? "Moisture content and RH/T readings"
                   : rh     ? "RH/T readings"
                            : "Moisture content readings";
    if (!fields.site.empty()) {
        info.subject += " at " + fields.site;
    }
    if (!references.empty()) {
        info.subject += " (" + references + ")";
    }
    return info;
}

} // namespace qm
