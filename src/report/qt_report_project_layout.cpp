// The pages of a drying project in the report's layout: its heading, tables (a table too wide
// split across by its days rather than shrunk) and charts, and the roles of its RH/T points in
// the sections of its jobs.
#include "report/qt_report_layout.h"

#include "store/lookup_tables.h"
#include "ui/qt_text.h"

#include <algorithm>

namespace qm {

namespace {

QString q(const std::string& text) {
    return from_cp1252(text);
}

} // namespace

// The roles of a project's RH/T points beside their codes: under the code in the summary (on
// the group's second line) and in the charts by location, after it in the charts' legends.
void show_project_roles(const ProjectReport& project, PreparedJob& p) {
    const auto role_of = [&](int location) -> const std::string* {
        for (const auto& [l, role] : project.location_roles) {
            if (l == location) {
                return &role;
            }
        }
        return nullptr;
    };
    for (ChartPlan& chart : p.charts) {
        chart.names.clear();
        chart.below.clear();
        for (const LocationSeries& s : chart.series) {
            const std::string* role = role_of(s.location);
            std::string name = series_name(s, p.job->materials);
            if (role != nullptr) {
                name += " \x97 " + *role;
            }
            chart.names.push_back(std::move(name));
            chart.below.push_back(role != nullptr ? *role : std::string());
        }
    }
    std::vector<std::vector<std::string>>& rows = p.summary.rows;
    for (std::size_t r = 0; r + 1 < rows.size(); ++r) {
        for (int l = 0; l < kLocationCount; ++l) {
            const std::string* role = role_of(l);
            if (role != nullptr && rows[r][0] == location_name(l) && rows[r + 1][0].empty()) {
                rows[r + 1][0] = *role;
            }
        }
    }
}

void ReportLayout::prepare_project(const ProjectReport& project) {
    PreparedJob p;
    p.project = &project;
    p.title = q(request_.fields.title.empty() ? project.title : request_.fields.title);
    for (const std::string& line : prepared_lines(request_.fields)) {
        p.prepared.push_back(q(line));
    }
    for (const auto& [label, value] : project.facts) {
        p.facts.emplace_back(q(label), q(value));
    }
    for (const std::string& line : project.notes) {
        p.notes.push_back(q(line));
    }
    for (std::size_t t = 0; t < project.tables.size(); ++t) {
        if (t == project.charts_after) {
            p.charts_after = p.project_tables.size();
        }
        add_project_table(p, project.tables[t]);
    }
    if (project.charts_after >= project.tables.size()) {
        p.charts_after = p.project_tables.size();
    }
    p.charts = project.charts;
    jobs_.push_back(std::move(p));
}

// A table that may be split across takes as many of its middle columns a part as the page holds
// at the table's own size; it is never shrunk for them.
void ReportLayout::add_project_table(PreparedJob& p, const TitledTable& table) const {
    const auto fit = [&](const std::vector<TitledTable>& parts) {
        return std::all_of(parts.begin(), parts.end(), [&](const TitledTable& t) {
            return table_geometry(t.table.columns, t.table.rows).scale >= 1.0;
        });
    };
    std::size_t middle = std::max<std::size_t>(table.most_middle, 1);
    std::vector<TitledTable> parts = split_table(table, middle);
    while (middle > 1 && !fit(parts)) {
        parts = split_table(table, --middle);
    }
    for (TitledTable& t : parts) {
        p.table_geometries.push_back(table_geometry(t.table.columns, t.table.rows));
        p.project_tables.push_back(std::move(t));
    }
}

void ReportLayout::lay_out_project(std::size_t index) {
    const PreparedJob& p = jobs_[index];
    new_page(index, true);
    place({BlockKind::Heading, index, 0, heading_height(p), 0, 0, {}});
    lay_out_notes(index);
    for (std::size_t t = 0; t <= p.project_tables.size(); ++t) {
        if (t == p.charts_after) {
            lay_out_charts(index, QStringLiteral("Charts of the points across days"));
        }
        if (t == p.project_tables.size()) {
            break;
        }
        const TitledTable& table = p.project_tables[t];
        lay_out_rows(index, BlockKind::ProjectRows, q(table.title), table.table.rows.size(),
                     table.table.row_group, p.table_geometries[t], t, q(table.note));
    }
    lay_out_photos(index);
}

} // namespace qm
