#include "summaries/summary_window.h"

#include "summaries/job_annotations.h"
#include "summaries/qt_summary_printer.h"
#include "ui/dialog_controls.h"
#include "ui/qt_text.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>

#include <algorithm>

namespace qm {

namespace {

// The job caption as a summary shows it: at most 255 characters.
QString caption_text(std::string_view caption) {
    return from_cp1252(caption.substr(0, std::min<std::size_t>(caption.size(), 255)));
}

} // namespace

SummaryWindow::SummaryWindow(AppState& app, const LayoutMetrics& metrics, JobListLink& jobs,
                             ManagedKind kind, const QString& title, int widthDu, int heightDu,
                             QWidget* parent)
    : QDialog(parent), app_(app), metrics_(metrics), jobs_(jobs), kind_(kind) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(metrics.x(widthDu), metrics.y(heightDu));
}

void SummaryWindow::connectCommonControls() {
    connect(ok_, &QPushButton::clicked, this, &QDialog::close);
    connect(print_, &QPushButton::clicked, this, &SummaryWindow::printWithDialog);
    connect(appendNotes_, &QPushButton::clicked, this, &SummaryWindow::openNotes);
    openingEntry_ = jobs_.entry_text(summaryJob().job_index()).value_or(std::string());
    // The caption names the job the window was opened for; it is not read again later, when the
    // side panel may already show another selection.
    showField(kCaptionId, caption_text(jobs_.job_caption()));
}

QLabel* SummaryWindow::field(int id) const {
    const auto it = fields_.find(id);
    return it == fields_.end() ? nullptr : it->second;
}

void SummaryWindow::showField(int id, const QString& text) {
    dialog_controls::set_text(fields_.at(id), text);
}

void SummaryWindow::fillList(QComboBox* list, const std::vector<int>& places,
                             std::string_view (*name)(int)) {
    const QSignalBlocker block(list);
    list->clear();
    for (const int place : places) {
        list->addItem(from_cp1252(name(place)));
    }
    list->setCurrentIndex(places.empty() ? -1 : 0);
}

std::string SummaryWindow::jobEntry() const {
    // A retitled job prints under its new title while the job list still shows this kind.
    if (app_.wizard.management_type == kind_) {
        if (auto entry = jobs_.entry_text(summaryJob().job_index())) {
            return *entry;
        }
    }
    return openingEntry_;
}

const std::string& SummaryWindow::jobNotes() const {
    return app_.store.annotations.notes(*record_kind(kind_), summaryJob().job());
}

bool SummaryWindow::printPage(PrintDocument& document) const {
    if (!document.nextPage()) {
        return false;
    }
    const QSize size = document.pageSize();
    paint_summary_page(document.painter(), page(size.width(), size.height()));
    return true;
}

void SummaryWindow::printWithDialog() {
    QPrinter printer(QPrinter::HighResolution);
    const QString title = kind_ == ManagedKind::Mc ? QStringLiteral("Print Job Summary")
                                                   : QStringLiteral("Print RH/T Summary");
    if (!ask_for_printer(printer, this, title)) {
        return;
    }
    PrintDocument document(printer);
    if (!document.begin() || !printPage(document) || !document.end()) {
        report_print_failure(this);
    }
}

void SummaryWindow::updateAnnotationButton() {
    appendNotes_->setEnabled(annotation_allowed(jobs_));
}

void SummaryWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        updateAnnotationButton();
    }
    QDialog::changeEvent(event);
}

void SummaryWindow::openNotes() {
    updateAnnotationButton();
    if (!appendNotes_->isEnabled()) {
        return;
    }
    if (!notes_) {
        // Owned by the main window, like the other annotation window.
        notes_ = new JobNotesDialog(app_.store, *record_kind(kind_), summaryJob().job(), metrics_,
                                    parentWidget(), &jobs_);
    }
    notes_->show();
    notes_->raise();
    notes_->activateWindow();
}

} // namespace qm
