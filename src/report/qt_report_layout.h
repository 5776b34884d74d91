#pragma once

// The client report laid out on pages: the figures of every job prepared once, then placed
// block by block so that the number of pages is known before the first one is painted.
// Geometry is in points (1/72 inch) from the page's top left corner.

#include "report/project_report.h"
#include "report/report_content.h"
#include "report/report_tables.h"

#include <QFont>
#include <QRectF>
#include <QString>

#include <cstddef>
#include <span>
#include <string>
#include <vector>

class QPaintDevice;
class QPainter;

namespace qm {

// Distances shared by the layout and the painter, in points.
namespace report_geometry {
constexpr double kCellPadding = 3.0;   // left and right of a cell's text
constexpr double kRowPadding = 4.0;    // above and below a row's text
constexpr double kSectionGap = 10.0;   // above a section title
constexpr double kHeadingGap = 6.0;    // between the parts of a job's heading
constexpr double kFactLabelGap = 10.0; // between a fact's label and its value
constexpr double kFooterGap = 14.0;    // between the content and the footer rule
constexpr double kLegendSwatch = 26.0; // a legend entry's line sample
constexpr double kDistributionPlot = 110.0;
} // namespace report_geometry

// Text wrapped to a width breaks between words, and inside a word too long for its line, so that
// nothing runs past the margin. Measured and painted by one layout, in device pixels.
double wrapped_text_height(QPaintDevice* device, const QFont& font, const QString& text,
                           double width);
void draw_wrapped_text(QPainter& painter, const QFont& font, const QRectF& box, const QString& text,
                       Qt::Alignment align = Qt::AlignLeft);

// The fonts of the report, sized in points for the device they measure and paint on.
struct ReportFonts {
    QFont title;
    QFont subtitle;
    QFont label;
    QFont body;
    QFont section;
    QFont chart_title;
    QFont table;
    QFont table_heading;
    QFont chart;
    QFont footer;
};

// Column widths and row heights of one table; `scale` < 1 shrinks a table too wide for the page
// (its fonts and widths together).
struct TableGeometry {
    std::vector<double> widths;
    double scale = 1.0;
    double row_height = 0.0;
    double header_height = 0.0;
    bool grouped = false; // a second heading line names the column groups
};

// A job with everything the pages show of it, computed once.
// The pages of a drying project are prepared as one more "job" before the others: job is nullptr
// and project the project's pages.
struct PreparedJob {
    const ReportJob* job = nullptr;
    const ProjectReport* project = nullptr;
    // The project's tables, a table too wide for the page split across into parts.
    std::vector<TitledTable> project_tables;
    std::vector<TableGeometry> table_geometries; // of project_tables
    std::size_t charts_after = 0;                // the charts follow this many project_tables
    QString title;
    std::vector<QString> prepared;
    std::vector<std::pair<QString, QString>> facts;
    std::vector<QString> notes; // one entry a line of the notes
    TextTable summary;
    TableGeometry summary_geometry;
    std::vector<ChartPlan> charts;
    bool has_distribution = false;
    McDistribution distribution;
    ScanColumn scans = ScanColumn::None; // where the readings table puts scan values
    std::vector<TableColumn> reading_columns;
    TableGeometry readings_geometry;
};

// The roles of a project's RH/T points beside their codes in the section `p` of an RH/T job.
void show_project_roles(const ProjectReport& project, PreparedJob& p);

enum class BlockKind {
    RunningHead,  // the title and job on a job's later pages
    Heading,      // title, prepared lines and facts
    NotesLabel,   // "Notes" over the job's notes
    NotesLine,    // one line of the notes, wrapped to the page's width
    NoReadings,   // said instead of the sections of a job without readings
    Section,      // a section title
    SummaryRows,  // rows from..to of the summary table, under its column headings
    Chart,        // chart number `from` of the job
    Distribution, // the MC distribution
    ReadingRows,  // rows from..to of the readings table, under its column headings
    ProjectRows,  // rows from..to of the project's table number `table`
    Photo,        // the project's photo number `from`, its caption and facts under it
};

struct ReportBlock {
    BlockKind kind = BlockKind::Section;
    std::size_t job = 0;
    double top = 0.0;
    double height = 0.0;
    std::size_t from = 0;
    std::size_t to = 0;
    QString text;
    std::size_t table = 0; // ProjectRows: which of the project's tables
};

using PagePlan = std::vector<ReportBlock>;

// Heights of the parts of a chart, in points.
struct ChartMetrics {
    double title = 0.0;
    double plot = 0.0;
    double x_labels = 0.0;
    double legend_row = 0.0;
    double gap = 0.0;
};

class ReportLayout {
public:
    // Prepares and lays out the jobs on pages of the device's page size.
    ReportLayout(QPaintDevice& device, QSizeF page_points, const ReportRequest& request,
                 std::span<const ReportJob> jobs);

    const std::vector<PagePlan>& pages() const { return pages_; }
    const std::vector<PreparedJob>& jobs() const { return jobs_; }
    const ReportFonts& fonts() const { return fonts_; }
    const ReportRequest& request() const { return request_; }
    QSizeF page_size() const { return page_; }
    QRectF content() const { return content_; }
    const ChartMetrics& chart_metrics() const { return chart_; }

    // Device pixels per point.
    double scale() const { return scale_; }
    // Measurements in points.
    double text_width(const QFont& font, const QString& text) const;
    double line_height(const QFont& font) const;
    double wrapped_height(const QFont& font, const QString& text, double width) const;
    // A font shrunk by a table's scale.
    static QFont scaled(const QFont& font, double scale);

    // The rows of the legend of a chart (none for a chart by location), and where each entry goes.
    int legend_rows(const ChartPlan& chart, const MaterialList& materials) const;
    double legend_entry_width(const ChartPlan& chart, const MaterialList& materials) const;
    double chart_height(const ChartPlan& chart, const MaterialList& materials) const;
    double distribution_height() const;
    double heading_height(const PreparedJob& job) const;

private:
    void prepare(std::span<const ReportJob> jobs);
    void prepare_project(const ProjectReport& project);
    void add_project_table(PreparedJob& p, const TitledTable& table) const;
    void lay_out_project(std::size_t index);
    void lay_out_photos(std::size_t index);
    void lay_out_charts(std::size_t index, const QString& section);
    TableGeometry table_geometry(const std::vector<TableColumn>& columns,
                                 const std::vector<std::vector<std::string>>& samples) const;
    void lay_out_job(std::size_t index);
    void lay_out_notes(std::size_t job);
    void lay_out_rows(std::size_t job, BlockKind kind, const QString& section, std::size_t rows,
                      const std::vector<int>& groups, const TableGeometry& geometry,
                      std::size_t table = 0, const QString& note = {});
    void new_page(std::size_t job, bool first);
    void place(ReportBlock block);
    bool fits(double height) const;
    double section_height() const;

    QPaintDevice& device_;
    ReportRequest request_;
    QSizeF page_;
    QRectF content_;
    double scale_ = 1.0;
    ReportFonts fonts_;
    ChartMetrics chart_;
    std::vector<PreparedJob> jobs_;
    std::vector<PagePlan> pages_;
    double y_ = 0.0;
};

} // namespace qm
