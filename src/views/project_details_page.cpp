// The Projects window's first tab: the project's details and its attached jobs.
#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "store/lookup_tables.h"
#include "ui/qt_text.h"
#include "views/project_pages.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <map>
#include <set>

namespace qm {
namespace {

QString job_text(RecordKind kind, std::int32_t number) {
    return QStringLiteral("%1 Job #%2").arg(kind == RecordKind::Mc ? "MC" : "RH/T").arg(number);
}

QString received_text(const ReceivedTime& received) {
    return QString::fromStdString(iso8601(received).substr(0, 16)).replace('T', ' ');
}

// "Ann Lee, Red one ✗": who read a visit, with which meter, a failed calibration check marked.
QString evidence_text(const VisitEvidence& e) {
    std::string text = e.technician;
    if (!e.meter_name.empty()) {
        text += (text.empty() ? "" : ", ") + e.meter_name;
    }
    if (e.check && !check_passed(*e.check)) {
        text += " \u2717 check failed";
    }
    return QString::fromStdString(text);
}

void fill_box(QComboBox* box, int last) {
    box->addItem(QStringLiteral("not set"));
    for (int i = 1; i <= last; ++i) {
        box->addItem(QString::number(i));
    }
}

std::optional<int> box_value(const QComboBox* box) {
    return box->currentIndex() > 0 ? std::optional<int>(box->currentIndex()) : std::nullopt;
}

} // namespace

ProjectDetailsPage::ProjectDetailsPage(ProjectsWindow& window) : window_(window) {
    name_ = new QLineEdit(this);
    client_ = new QLineEdit(this);
    site_ = new QLineEdit(this);
    claim_ = new QLineEdit(this);
    lossDate_ = new QLineEdit(this);
    lossDate_->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
    category_ = new QComboBox(this);
    fill_box(category_, 3);
    class_ = new QComboBox(this);
    fill_box(class_, 4);
    notes_ = new QPlainTextEdit(this);
    notes_->setTabChangesFocus(true);
    notes_->installEventFilter(this);
    jobs_ = new QTableWidget(0, 7, this);
    jobs_->setHorizontalHeaderLabels({QStringLiteral("Received"), QStringLiteral("Read on"),
                                      QStringLiteral("Technician"), QStringLiteral("Meter"),
                                      QStringLiteral("Job"), QStringLiteral("ID"),
                                      QStringLiteral("Readings")});
    jobs_->setSelectionBehavior(QAbstractItemView::SelectRows);
    jobs_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    jobs_->verticalHeader()->hide();
    jobs_->horizontalHeader()->setStretchLastSection(true);
    attach_ = new QPushButton(QStringLiteral("&Attach\u2026"), this);
    detach_ = new QPushButton(QStringLiteral("Detac&h"), this);
    for (QPushButton* b : {attach_, detach_}) {
        b->setAutoDefault(true);
    }
    legend_ = new QTableWidget(0, 2, this);
    legend_->setHorizontalHeaderLabels({QStringLiteral("Code"), QStringLiteral("Name")});
    legend_->verticalHeader()->hide();
    legend_->horizontalHeader()->setStretchLastSection(true);
    connect(legend_, &QTableWidget::itemChanged, this, &ProjectDetailsPage::legendEdited);
    layOutFields();
    for (QLineEdit* e : {name_, client_, site_, claim_, lossDate_}) {
        connect(e, &QLineEdit::editingFinished, this, &ProjectDetailsPage::commit);
    }
    for (QComboBox* b : {category_, class_}) {
        connect(b, &QComboBox::currentIndexChanged, this, &ProjectDetailsPage::commit);
    }
    connect(attach_, &QPushButton::clicked, this, &ProjectDetailsPage::attach);
    connect(detach_, &QPushButton::clicked, this, &ProjectDetailsPage::detach);
}

void ProjectDetailsPage::layOutFields() {
    auto* form = new QFormLayout;
    const auto row = [&](const char* label, QWidget* field) {
        auto* l = new QLabel(QString::fromUtf8(label), this);
        l->setBuddy(field);
        form->addRow(l, field);
    };
    row("Na&me:", name_);
    row("Clien&t:", client_);
    row("Site add&ress:", site_);
    row("Cla&im or reference:", claim_);
    row("Date of l&oss:", lossDate_);
    row("Water categor&y:", category_);
    row("Water &class:", class_);
    row("Not&es:", notes_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(attach_);
    buttons->addWidget(detach_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Attached jobs:"), this));
    layout->addWidget(jobs_, 1);
    layout->addLayout(buttons);
    layout->addWidget(new QLabel(
        QStringLiteral("Code legend (the names the report prints for the codes):"), this));
    layout->addWidget(legend_, 1);
}

bool ProjectDetailsPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == notes_ && event->type() == QEvent::FocusOut) {
        commit();
    }
    return QWidget::eventFilter(watched, event);
}

void ProjectDetailsPage::show(const ProjectView& view) {
    filling_ = true;
    shown_ = view.id;
    stored_ = view.details;
    const ProjectDetails& d = view.details;
    name_->setText(QString::fromStdString(d.name));
    client_->setText(QString::fromStdString(d.client));
    site_->setText(QString::fromStdString(d.site));
    claim_->setText(QString::fromStdString(d.claim));
    lossDate_->setText(d.loss_date ? QString::fromStdString(iso_date(*d.loss_date)) : QString());
    category_->setCurrentIndex(d.category.value_or(0));
    class_->setCurrentIndex(d.water_class.value_or(0));
    if (notes_->toPlainText() != QString::fromStdString(d.notes)) {
        notes_->setPlainText(QString::fromStdString(d.notes));
    }
    jobs_->setRowCount(static_cast<int>(view.jobs.size()));
    for (int r = 0; r < jobs_->rowCount(); ++r) {
        const ProjectJob& j = view.jobs[static_cast<std::size_t>(r)];
        const auto dates = view.meter_dates.find(j.job.visit_id);
        const auto said = view.evidence.find(j.job.visit_id);
        const QString cells[] = {received_text(j.received),
                                 dates != view.meter_dates.end()
                                     ? QString::fromStdString(meter_dates_text(dates->second))
                                     : QString(),
                                 said != view.evidence.end() ? evidence_text(said->second)
                                                             : QString(),
                                 from_cp1252(j.meter),
                                 job_text(j.job.kind, j.job.number),
                                 QString::number(j.job_id),
                                 QString::number(j.readings)};
        for (int c = 0; c < 7; ++c) {
            jobs_->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
    }
    // The last column keeps stretching to the table's edge, also on a reload while shown.
    for (int c = 0; c + 1 < jobs_->columnCount(); ++c) {
        jobs_->resizeColumnToContents(c);
    }
    const bool editable = window_.editable();
    for (QLineEdit* e : {name_, client_, site_, claim_, lossDate_}) {
        e->setReadOnly(!editable);
    }
    notes_->setReadOnly(!editable);
    category_->setEnabled(editable);
    class_->setEnabled(editable);
    attach_->setEnabled(editable);
    detach_->setEnabled(editable && !view.jobs.empty());
    showLegend(view);
    filling_ = false;
}

// The codes of the points the attached jobs read, locations first, each with its name.
void ProjectDetailsPage::showLegend(const ProjectView& view) {
    std::set<int> locations;
    std::set<int> subs;
    for (const PointHistory& h : view.points) {
        locations.insert(h.point.location);
        if (h.point.sub_location >= 0) {
            subs.insert(h.point.sub_location);
        }
    }
    legendCodes_.clear();
    for (const int l : locations) {
        legendCodes_.emplace_back(location_name(l));
    }
    for (const int s : subs) {
        legendCodes_.emplace_back(sub_location_name(s));
    }
    const CodeLegend legend = view.settings.legend();
    legend_->setRowCount(static_cast<int>(legendCodes_.size()));
    for (int r = 0; r < legend_->rowCount(); ++r) {
        const std::string& code = legendCodes_[static_cast<std::size_t>(r)];
        auto* codeItem = new QTableWidgetItem(QString::fromStdString(code));
        codeItem->setFlags(codeItem->flags() & ~Qt::ItemIsEditable);
        legend_->setItem(r, 0, codeItem);
        auto* name = new QTableWidgetItem(QString::fromStdString(legend_name(legend, code)));
        if (!window_.editable()) {
            name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        }
        legend_->setItem(r, 1, name);
    }
    legend_->resizeColumnToContents(0);
}

void ProjectDetailsPage::legendEdited(QTableWidgetItem* item) {
    if (filling_ || shown_ == 0 || item->column() != 1 || !window_.editable()) {
        return;
    }
    const std::string code = legendCodes_.at(static_cast<std::size_t>(item->row()));
    const std::string name = item->text().trimmed().toStdString();
    if (name == legend_name(window_.view().settings.legend(), code)) {
        return;
    }
    const std::int64_t id = shown_;
    window_.write([&](ProjectStore& s) { return s.set_legend_name(id, code, name); },
                  "The name of the code");
}

void ProjectDetailsPage::commit() {
    if (filling_ || shown_ == 0 || !window_.editable()) {
        return;
    }
    ProjectDetails d = stored_;
    d.name = name_->text().trimmed().toStdString();
    d.client = client_->text().toStdString();
    d.site = site_->text().toStdString();
    d.claim = claim_->text().toStdString();
    d.category = box_value(category_);
    d.water_class = box_value(class_);
    d.notes = notes_->toPlainText().toStdString();
    const QString date = lossDate_->text().trimmed();
    d.loss_date = parse_iso_date(date.toStdString());
    if (!date.isEmpty() && !d.loss_date) {
        window_.refuse("The date of loss is written YYYY-MM-DD (2026-03-02).");
        return;
    }
    if (d == stored_) {
        return;
    }
    const std::int64_t id = shown_;
    window_.write([&](ProjectStore& s) { return s.update_details(id, d); }, "The details");
}

void ProjectDetailsPage::attach() {
    const std::int64_t id = shown_;
    std::set<JobRef> attached;
    for (const ProjectJob& j : window_.view().jobs) {
        attached.insert(j.job);
    }
    std::vector<JobChoice> choices;
    const Result<std::vector<VisitSummary>> visits = window_.archive().all_visits();
    if (!visits) {
        window_.refuse("The jobs of the archive cannot be listed: " + visits.error() + ".");
        return;
    }
    std::vector<std::int64_t> ids;
    for (const VisitSummary& v : *visits) {
        ids.push_back(v.id);
    }
    const Result<std::map<std::int64_t, MeterDates>> dates =
        visit_meter_dates(window_.archive(), ids);
    if (!dates) {
        window_.refuse("The jobs of the archive cannot be listed: " + dates.error() + ".");
        return;
    }
    for (const VisitSummary& v : *visits) {
        const auto read = dates->find(v.id);
        // The meter's dates beside the download time: a day not read shows before it is missed.
        const QString readOn =
            read != dates->end() ? QStringLiteral(" (read %1)")
                                       .arg(QString::fromStdString(meter_dates_text(read->second)))
                                 : QString();
        for (const ArchivedJob& j : v.jobs) {
            const JobRef ref{v.id, j.kind, j.number};
            if (attached.count(ref) == 0) {
                choices.push_back({ref, QStringLiteral("%1%2  %3  %4, ID# %5  %6")
                                            .arg(received_text(v.received), readOn,
                                                 from_cp1252(v.meter), job_text(j.kind, j.number))
                                            .arg(j.id)
                                            .arg(from_cp1252(j.title))});
            }
        }
    }
    const std::vector<JobRef> chosen = window_.actions().choose_jobs(choices);
    if (!chosen.empty()) {
        window_.write([&](ProjectStore& s) { return s.attach(id, chosen); }, "Attaching the jobs");
    }
}

void ProjectDetailsPage::detach() {
    const std::int64_t id = shown_;
    std::vector<JobRef> chosen;
    for (const QModelIndex& index : jobs_->selectionModel()->selectedRows()) {
        chosen.push_back(window_.view().jobs.at(static_cast<std::size_t>(index.row())).job);
    }
    if (!chosen.empty()) {
        window_.write([&](ProjectStore& s) { return s.detach(id, chosen); }, "Detaching the jobs");
    }
}

} // namespace qm
