#include "summaries/rh_summary_window.h"

#include "store/lookup_tables.h"
#include "summaries/job_annotations.h"
#include "summaries/job_notes_dialog.h"
#include "summaries/qt_summary_printer.h"
#include "ui/dialog_controls.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>

namespace qm {

namespace {

using namespace dialog_controls;

// Template 135, in dialog units.
constexpr int kWidthDu = 218;
constexpr int kHeightDu = 250;

} // namespace

RhSummaryWindow::RhSummaryWindow(AppState& app, const LayoutMetrics& metrics, JobListLink& jobs,
                                 QWidget* parent)
    : QDialog(parent), app_(app), metrics_(metrics), jobs_(jobs),
      model_(app.store, app.selection.current_job_index, app.store.working_set) {
    setWindowTitle(QStringLiteral("RH/T Summary"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(metrics.x(kWidthDu), metrics.y(kHeightDu));
    buildControls(metrics);

    openingEntry_ = jobs_.entry_text(model_.job_index()).value_or(std::string());
    // The caption names the job the window was opened for; it is not re-read later, when the
    // side panel may already show another selection.
    set_text(fields_.at(kCaptionId), caption_text(jobs_.job_caption()));
    model_.open(app_.settings.celsius, app_.settings.international_date);
    {
        const QSignalBlocker block(locations_);
        for (const int location : model_.locations()) {
            locations_->addItem(from_cp1252(location_name(location)));
        }
        locations_->setCurrentIndex(model_.locations().empty() ? -1 : 0);
    }
    showFigures();
    updateAnnotationButton();
}

void RhSummaryWindow::buildControls(const LayoutMetrics& m) {
    add_static(this, m, "RH/T Summary", 82, 11, 52, 8, Qt::AlignHCenter);
    fields_[kCaptionId] = add_static(this, m, "Job #1", 22, 20, 174, 8, Qt::AlignHCenter);
    locations_ = add_list(this, m, 88, 34, 48);
    add_static(this, m, "Number of Readings", 38, 63, 66, 8);
    fields_[kCountId] = add_static(this, m, "", 142, 63, 37, 8, Qt::AlignRight);
    add_static(this, m, "First", 38, 74, 14, 8);
    fields_[kFirstId] = add_static(this, m, "", 111, 74, 68, 8, Qt::AlignRight);
    add_static(this, m, "Last", 38, 85, 14, 8);
    fields_[kLastId] = add_static(this, m, "", 113, 85, 66, 8, Qt::AlignRight);
    fields_[kMinLabelId] = add_static(this, m, "Minimum SH Value", 38, 96, 92, 8);
    fields_[kMinId] = add_static(this, m, "", 142, 96, 37, 8, Qt::AlignRight);
    fields_[kMaxLabelId] = add_static(this, m, "Maximum SH Value", 38, 107, 90, 8);
    fields_[kMaxId] = add_static(this, m, "", 136, 107, 43, 8, Qt::AlignRight);
    appendNotes_ = add_button(this, m, QStringLiteral("Append Notes"), 15, 176, 50, 14);
    ok_ = add_button(this, m, QStringLiteral("OK"), 54, 228, 50, 14);
    print_ = add_button(this, m, QStringLiteral("Print"), 115, 228, 50, 14);
    ok_->setDefault(true);
    setTabOrder(locations_, appendNotes_);
    setTabOrder(appendNotes_, ok_);
    setTabOrder(ok_, print_);

    connect(locations_, &QComboBox::activated, this, &RhSummaryWindow::onLocationChosen);
    connect(ok_, &QPushButton::clicked, this, &QDialog::close);
    connect(print_, &QPushButton::clicked, this, &RhSummaryWindow::printWithDialog);
    connect(appendNotes_, &QPushButton::clicked, this, &RhSummaryWindow::openNotes);
}

RhSummaryWindow* RhSummaryWindow::showSummary(QPointer<RhSummaryWindow>& remembered, AppState& app,
                                              const LayoutMetrics& metrics, JobListLink& jobs,
                                              QWidget* parent) {
    if (!remembered) {
        remembered = new RhSummaryWindow(app, metrics, jobs, parent);
        remembered->show();
    }
    return remembered;
}

void RhSummaryWindow::refreshFigures() {
    model_.recompute(app_.settings.celsius, app_.settings.international_date);
    showFigures();
}

QLabel* RhSummaryWindow::field(int id) const {
    const auto it = fields_.find(id);
    return it == fields_.end() ? nullptr : it->second;
}

void RhSummaryWindow::showFigures() {
    const JobStatistics& s = model_.statistics();
    set_text(fields_.at(kMinLabelId), from_cp1252(rh_minimum_label(model_.celsius())));
    set_text(fields_.at(kMaxLabelId), from_cp1252(rh_maximum_label(model_.celsius())));
    set_text(fields_.at(kMinId), from_cp1252(s.min_text));
    set_text(fields_.at(kMaxId), from_cp1252(s.max_text));
    set_text(fields_.at(kCountId), from_cp1252(s.count_text));
    set_text(fields_.at(kFirstId), from_cp1252(s.first_text));
    set_text(fields_.at(kLastId), from_cp1252(s.last_text));
}

void RhSummaryWindow::onLocationChosen(int index) {
    model_.choose_location(index, app_.settings.celsius, app_.settings.international_date);
    showFigures();
}

std::string RhSummaryWindow::jobEntry() const {
    if (app_.wizard.management_type == ManagedKind::Rh) {
        if (auto entry = jobs_.entry_text(model_.job_index())) {
            return *entry;
        }
    }
    return openingEntry_;
}

SummaryPage RhSummaryWindow::page(int width, int height) const {
    return model_.page(width, height, app_.meter.model(), jobEntry(),
                       app_.store.annotations.notes(RecordKind::Rh, model_.job()));
}

bool RhSummaryWindow::printPage(PrintDocument& document) const {
    if (!document.nextPage()) {
        return false;
    }
    const QSize size = document.pageSize();
    paint_summary_page(document.painter(), page(size.width(), size.height()));
    return true;
}

void RhSummaryWindow::printWithDialog() {
    QPrinter printer(QPrinter::HighResolution);
    if (!ask_for_printer(printer, this, QStringLiteral("Print RH/T Summary"))) {
        return;
    }
    PrintDocument document(printer);
    if (!document.begin() || !printPage(document) || !document.end()) {
        report_print_failure(this);
    }
}

void RhSummaryWindow::updateAnnotationButton() {
    appendNotes_->setEnabled(annotation_allowed(jobs_));
}

void RhSummaryWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        updateAnnotationButton();
    }
    QDialog::changeEvent(event);
}

void RhSummaryWindow::openNotes() {
    updateAnnotationButton();
    if (!appendNotes_->isEnabled()) {
        return;
    }
    if (!notes_) {
        notes_ =
            new JobNotesDialog(app_.store, RecordKind::Rh, model_.job(), metrics_, parentWidget());
    }
    notes_->show();
    notes_->raise();
    notes_->activateWindow();
}

} // namespace qm
