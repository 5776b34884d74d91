#pragma once

// What a client report is made of: the user's fields and choices, the jobs it covers, and the
// texts of its heading and footer. Texts are Windows-1252.

#include "report/report_calendar.h"
#include "report/report_figures.h"
#include "store/annotations.h"
#include "store/code_legend.h"
#include "store/lookup_tables.h"
#include "store/reading.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm {

enum class Paper {
    A4,
    Letter,
};

// "a4" or "letter", in any case; nothing for another name.
std::optional<Paper> paper_from_name(std::string_view name);
std::string_view paper_name(Paper paper); // "a4", "letter"

// The paper of a locale name such as "en_US.UTF-8": Letter in the territories that use it (the
// United States, Canada, Mexico, the Philippines and the Letter-using countries of Central and
// South America), A4 everywhere else, "C" and "POSIX" included.
Paper paper_for_locale(std::string_view locale);

// The locale that decides the paper: LC_ALL, else LC_PAPER, else LANG (the first one set and not
// empty), as the C library takes them; empty when none is.
std::string paper_locale_from_environment();

// What the user fills in; any of them may be empty.
struct ReportFields {
    std::string title; // empty: each job's own title, else "Job #n"
    std::string prepared_for;
    std::string site;
    std::string prepared_by;
};

// The parts of each job's report besides its heading block.
struct ReportSections {
    bool summary = true;      // one row per location (and sub-location)
    bool charts = true;       // the readings over time
    bool distribution = true; // the MC distribution (MC jobs only)
    bool readings = true;     // every reading
};

struct ProjectReport; // report/project_report.h

struct ReportRequest {
    ReportFields fields;
    ReportSections sections;
    ReportUnits units;
    Paper paper = Paper::A4;
    CalendarDate printed; // the print date in the footers
    CodeNames codes = default_code_names();
    // A drying project's pages before the jobs' sections; none for the report of jobs alone.
    std::shared_ptr<const ProjectReport> project;
};

// One job of a report: the job, the meter it came from, its title and notes, and its readings of
// one kind in time order.
struct ReportJob {
    RecordKind kind = RecordKind::Mc;
    std::int32_t job = 0;
    std::int32_t job_id = 0;
    std::string model;
    std::string title;
    std::string notes; // line breaks as stored (CR LF)
    MaterialList materials = kFirstMaterials;
    std::vector<Reading> readings;
    // What is said of the job's visit (Windows-1252; empty when not said): who read it, the
    // user's name and serial of the meter, and its calibration check (check_text_plain).
    std::string technician;
    std::string meter_name;
    std::string calibration;
};

// The heading of a job's section in a drying project's report: the weekday, date and time of its
// first reading by the meter's clock, the job's title (or "Job #n") and its technician when
// known: "Tue 3/3/26 18:05 \x96 Job #2 \x96 J. Tech". A job without readings: its title alone.
std::string section_title(const ReportJob& job, const ReportUnits& units);

// Puts the jobs of a project's report in the order of their first readings by the meter's clock,
// jobs without readings last; jobs of one minute keep their order.
void order_by_meter_time(std::vector<ReportJob>& jobs);

// The title a job's heading shows: the report's title, else the job's own, else "Job #n".
std::string report_title(const ReportFields& fields, const ReportJob& job);

// "Job #3, ID# 991".
std::string job_reference(const ReportJob& job);

// "Prepared for: ...", "Site: ...", "Prepared by: ..." for the fields that are filled in.
std::vector<std::string> prepared_lines(const ReportFields& fields);

// The facts of a job's heading block as label and value: job, meter, kind of readings, number of
// readings, first and last reading, units, the codes of the places the readings name, and the
// technician, meter name and calibration check when they are said.
std::vector<std::pair<std::string, std::string>>
heading_facts(const ReportJob& job, const ReportUnits& units, const CodeNames& codes);

// The job's notes as lines (empty when it has none).
std::vector<std::string> notes_lines(const ReportJob& job);

// The footer texts: "Printed Dec 7, 2025" (or "Printed 7 Dec 2025" with international_date),
// "Quellmark <version>" and "Page X of Y".
std::string printed_text(const CalendarDate& date, bool international_date);
std::string program_text();
std::string page_text(int page, int pages);

// The running heading of a job's later pages is "<title>  -  Job #3, ID# 991 (continued)", or
// without the title when it is the default "Job #3". The layout shortens the title part to fit,
// with an ellipsis, and keeps the job part whole.
std::string continued_title(const ReportFields& fields, const ReportJob& job); // may be empty
std::string continued_job(const ReportJob& job); // "Job #3, ID# 991 (continued)"

// The PDF's document information: the title (the report's title; with several jobs and none
// given, the jobs' titles), the author (Prepared by) and the subject (what the readings are and
// where they were taken).
struct DocumentInfo {
    std::string title;
    std::string author;
    std::string subject;
};
DocumentInfo document_info(const ReportFields& fields, std::span<const ReportJob> jobs);

} // namespace qm
