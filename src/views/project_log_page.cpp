// The Projects window's logs: the drying log as a table and as charts, and the psychrometric log.
#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "projects/project_warnings.h"
#include "views/drying_charts.h"
#include "views/project_pages.h"

#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qm {
namespace {

constexpr const char* kRoleTexts[] = {"affected area", "unaffected area", "outside",
                                      "dehumidifier outlet", "other"};

QString figure(double value) {
    return QString::number(value, 'f', 1);
}

QTableWidget* read_only_table(QWidget* parent) {
    auto* table = new QTableWidget(parent);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    return table;
}

QString standard_text(const DryingRow& row) {
    if (row.is_reference) {
        return QStringLiteral("reference");
    }
    switch (row.source) {
    case StandardSource::Value:
        return figure(row.standard_value.value_or(0.0));
    case StandardSource::Reference:
        return QString::fromStdString(point_text(*row.reference));
    case StandardSource::ReferenceElsewhere:
        return QStringLiteral("other scale: not used");
    case StandardSource::None:
        break;
    }
    return QStringLiteral("none");
}

QString goal_text(const DryingRow& row) {
    if (row.is_reference) {
        return {};
    }
    if (row.source == StandardSource::Value) {
        return figure(row.standard_value.value_or(0.0) + row.tolerance);
    }
    if (row.source == StandardSource::Reference) {
        return QStringLiteral("ref + %1").arg(figure(row.tolerance));
    }
    return QStringLiteral("\u2014");
}

// A day's cell: its value and, when judged, "wet" or "dry" in words beside the colour.
QTableWidgetItem* cell_item(const DryingCell& c) {
    auto* item = new QTableWidgetItem;
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (c.state == CellState::NotRead) {
        return item;
    }
    QString text = figure(c.value);
    const QString time = QString::fromStdString(clock_text(c.minute_of_day));
    item->setToolTip(QStringLiteral("read at %1").arg(time));
    if (c.state == CellState::Wet || c.state == CellState::Dry) {
        const bool dry = c.state == CellState::Dry;
        text += dry ? QStringLiteral(" dry") : QStringLiteral(" wet");
        item->setBackground(dry ? QColor(205, 240, 205) : QColor(255, 205, 205));
        item->setForeground(Qt::black);
        item->setToolTip(
            QStringLiteral("read at %1; goal %2 (standard %3)")
                .arg(time, figure(c.goal.value_or(0.0)), figure(c.standard.value_or(0.0))));
    }
    if (c.state == CellState::Removed) {
        text += QStringLiteral(" removed");
        item->setToolTip(
            QStringLiteral("read at %1, after the material was removed: not judged").arg(time));
    }
    item->setText(text + QStringLiteral(" ") + time);
    return item;
}

// A day's column heading: the date, marked when a visit of that day failed its calibration
// check.
QString day_heading(std::int64_t day, const std::vector<LogDayVisits>& days) {
    QString text = QString::fromStdString(iso_date(day));
    for (const LogDayVisits& d : days) {
        if (d.day == day && d.check_failed()) {
            text += QStringLiteral(" \u2717");
        }
    }
    return text;
}

} // namespace

ProjectLogPage::ProjectLogPage(ProjectsWindow& window) : window_(window) {
    drying_ = read_only_table(this);
    air_ = read_only_table(this);
    charts_ = new DryingCharts(this);
    warnings_ = new QLabel(this);
    warnings_->setWordWrap(true);
    warnings_->setTextFormat(Qt::PlainText);
    warnings_->hide();
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(charts_);
    scroll->setWidgetResizable(true);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    const auto titled = [&](const char* title, QWidget* content) {
        auto* box = new QWidget(splitter);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new QLabel(QString::fromUtf8(title), box));
        layout->addWidget(content, 1);
        splitter->addWidget(box);
    };
    visits_ = read_only_table(this);
    titled("Drying log (points not yet dry first; the time of each day's reading; \u2717 a day "
           "of a failed calibration check):",
           drying_);
    titled("Visits per day:", visits_);
    titled("Charts (the dashed line is the goal; a filled dot a dry day):", scroll);
    titled("Psychrometric log:", air_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(warnings_);
    layout->addWidget(splitter);
}

void ProjectLogPage::show(const ProjectView& view) {
    QStringList lines;
    for (const ProjectWarning& w : project_warnings(view.details, view.logs)) {
        lines << QStringLiteral("Warning: ") + QString::fromStdString(w.text);
    }
    warnings_->setText(lines.join(QLatin1Char('\n')));
    warnings_->setVisible(!lines.isEmpty());
    showDrying(view);
    showAir(view);
}

void ProjectLogPage::showDrying(const ProjectView& view) {
    const DryingLog& log = view.logs.drying;
    const int days = static_cast<int>(log.days.size());
    drying_->clear();
    drying_->setColumnCount(kFirstDay + days);
    drying_->setRowCount(static_cast<int>(log.rows.size()));
    QStringList headings{QStringLiteral("Point"), QStringLiteral("Label"),
                         QStringLiteral("Standard"), QStringLiteral("Goal"),
                         QStringLiteral("Dry since")};
    for (const std::int64_t day : log.days) {
        headings << day_heading(day, view.days);
    }
    drying_->setHorizontalHeaderLabels(headings);
    std::vector<QString> chartHeadings;
    for (int r = 0; r < drying_->rowCount(); ++r) {
        const DryingRow& row = log.rows[static_cast<std::size_t>(r)];
        const QString point = QString::fromStdString(point_text(row.point));
        const QString label = QString::fromStdString(view.settings.label(row.point));
        chartHeadings.push_back(label.isEmpty() ? point : point + QStringLiteral(": ") + label);
        drying_->setItem(r, 0, new QTableWidgetItem(point));
        drying_->setItem(r, 1, new QTableWidgetItem(label));
        drying_->setItem(r, 2, new QTableWidgetItem(standard_text(row)));
        drying_->setItem(r, 3, new QTableWidgetItem(goal_text(row)));
        for (int d = 0; d < days && d < static_cast<int>(row.cells.size()); ++d) {
            drying_->setItem(r, kFirstDay + d, cell_item(row.cells[static_cast<std::size_t>(d)]));
        }
        const bool judged =
            row.source == StandardSource::Value || row.source == StandardSource::Reference;
        const QString since = row.is_reference ? QString()
                              : row.removed
                                  ? QStringLiteral("removed %1")
                                        .arg(QString::fromStdString(iso_date(row.removed->on)))
                              : row.dry_on ? QString::fromStdString(iso_date(*row.dry_on))
                              : judged     ? QStringLiteral("not dry")
                                           : QStringLiteral("no standard");
        drying_->setItem(r, kDrySince, new QTableWidgetItem(since));
    }
    drying_->resizeColumnsToContents();
    charts_->setLog(log, std::move(chartHeadings));
    showVisits(view);
}

void ProjectLogPage::showVisits(const ProjectView& view) {
    visits_->clear();
    visits_->setColumnCount(3);
    visits_->setHorizontalHeaderLabels(
        {QStringLiteral("Date"), QStringLiteral("Technician"), QStringLiteral("Visits")});
    if (!view.evidence_error.empty()) {
        visits_->setRowCount(1);
        visits_->setItem(0, 2,
                         new QTableWidgetItem(QString::fromStdString(
                             "The visits of the days cannot be shown: " + view.evidence_error)));
        return;
    }
    visits_->setRowCount(static_cast<int>(view.days.size()));
    for (int r = 0; r < visits_->rowCount(); ++r) {
        const LogDayVisits& day = view.days[static_cast<std::size_t>(r)];
        QStringList visits;
        for (const DayVisit& v : day.visits) {
            visits << QString::fromStdString(day_visit_text(v));
        }
        visits_->setItem(r, 0, new QTableWidgetItem(day_heading(day.day, view.days)));
        visits_->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(day_technicians(day))));
        auto* item = new QTableWidgetItem(visits.join(QStringLiteral("; ")));
        if (day.check_failed()) {
            item->setForeground(Qt::red);
        }
        visits_->setItem(r, 2, item);
    }
    visits_->resizeColumnsToContents();
}

void ProjectLogPage::showAir(const ProjectView& view) {
    const AirLog& log = view.logs.air;
    const bool celsius = window_.actions().celsius;
    const QString degrees = celsius ? QStringLiteral("\u00b0C") : QStringLiteral("\u00b0F");
    air_->clear();
    air_->setColumnCount(8);
    air_->setHorizontalHeaderLabels(
        {QStringLiteral("Date"), QStringLiteral("Role"), QStringLiteral("Points"),
         QStringLiteral("Temperature ") + degrees, QStringLiteral("RH %"),
         QStringLiteral("Dew point ") + degrees, celsius ? QStringLiteral("GPK") : "GPP",
         QStringLiteral("Grain depression")});
    air_->setRowCount(static_cast<int>(log.rows.size()));
    std::int64_t lastDay = -1;
    for (int r = 0; r < air_->rowCount(); ++r) {
        const AirDay& a = log.rows[static_cast<std::size_t>(r)];
        QString depression;
        if (a.day != lastDay) {
            for (const GrainDepression& g : log.depression) {
                depression = g.day == a.day ? figure(g.value) : depression;
            }
        }
        const QString cells[] = {a.day != lastDay ? QString::fromStdString(iso_date(a.day))
                                                  : QString(),
                                 QString::fromUtf8(kRoleTexts[static_cast<int>(a.role)]),
                                 QString::number(a.points),
                                 figure(a.temperature),
                                 figure(a.rh),
                                 a.dew_point ? figure(*a.dew_point) : QString(),
                                 a.humidity ? figure(*a.humidity) : QString(),
                                 depression};
        for (int c = 0; c < 8; ++c) {
            air_->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
        lastDay = a.day;
    }
    air_->resizeColumnsToContents();
}

} // namespace qm
