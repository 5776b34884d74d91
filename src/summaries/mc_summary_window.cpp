#include "summaries/mc_summary_window.h"

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

// Template 134, in dialog units.
constexpr int kWidthDu = 216;
constexpr int kHeightDu = 271;

struct FieldPlace {
    int id;
    int x, y, w;
};

// The right-aligned figure fields.
constexpr FieldPlace kFigureFields[] = {
    {McSummaryWindow::kFirstId, 108, 65, 67},      {McSummaryWindow::kLastId, 107, 76, 68},
    {McSummaryWindow::kCountId, 138, 112, 37},     {McSummaryWindow::kMaterialId, 124, 122, 51},
    {McSummaryWindow::kMinId, 156, 132, 19},       {McSummaryWindow::kMaxId, 156, 142, 19},
    {McSummaryWindow::kScanCountId, 138, 172, 37}, {McSummaryWindow::kScanMinId, 156, 184, 19},
    {McSummaryWindow::kScanMaxId, 156, 196, 19},
};

struct LabelPlace {
    const char* text;
    int x, y, w;
};

constexpr LabelPlace kLabels[] = {
    {"First", 37, 65, 14},
    {"Last", 37, 76, 14},
    {"Number of  Readings", 37, 112, 77},
    {"Material", 37, 122, 73},
    {"Minimum Value", 37, 132, 73},
    {"Maximum Value", 37, 142, 76},
    {"Number of  Readings", 37, 172, 86},
    {"Minimum Value", 37, 184, 79},
    {"Maximum Value", 37, 196, 83},
};

} // namespace

McSummaryWindow::McSummaryWindow(AppState& app, const LayoutMetrics& metrics, JobListLink& jobs,
                                 QWidget* parent)
    : QDialog(parent), app_(app), metrics_(metrics), jobs_(jobs),
      model_(app.store, app.selection.current_job_index, app.store.working_set) {
    setWindowTitle(QStringLiteral("Job Summary"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(metrics.x(kWidthDu), metrics.y(kHeightDu));
    buildControls(metrics);

    openingEntry_ = jobs_.entry_text(model_.job_index()).value_or(std::string());
    model_.open(app_.meter.active_materials, app_.settings.international_date);
    fillLocationList();
    fillSubLocationList();
    set_text(fields_.at(kCaptionId), caption_text(jobs_.job_caption()));
    showFigures();
    updateAnnotationButton();
}

void McSummaryWindow::buildControls(const LayoutMetrics& m) {
    add_static(this, m, "PIN/SCAN Summary", 76, 11, 64, 8, Qt::AlignHCenter);
    fields_[kCaptionId] = add_static(this, m, "Job #1", 21, 23, 173, 8, Qt::AlignHCenter);
    locations_ = add_list(this, m, 55, 35, 48);
    subLocations_ = add_list(this, m, 113, 35, 48);
    for (const LabelPlace& l : kLabels) {
        add_static(this, m, l.text, l.x, l.y, l.w, 8);
    }
    for (const FieldPlace& f : kFigureFields) {
        fields_[f.id] = add_static(this, m, "", f.x, f.y, f.w, 8, Qt::AlignRight);
    }
    add_static(this, m, "PIN", 24, 92, 173, 8, Qt::AlignHCenter);
    add_static(this, m, "SCAN", 29, 157, 173, 8, Qt::AlignHCenter);
    appendNotes_ = add_button(this, m, QStringLiteral("Append Notes"), 7, 154, 50, 14);
    // The SCAN heading's box reaches over the button; keep the button on top for the mouse.
    appendNotes_->raise();
    ok_ = add_button(this, m, QStringLiteral("OK"), 53, 249, 50, 14);
    print_ = add_button(this, m, QStringLiteral("Print"), 113, 249, 50, 14);
    ok_->setDefault(true);
    setTabOrder(locations_, subLocations_);
    setTabOrder(subLocations_, appendNotes_);
    setTabOrder(appendNotes_, ok_);
    setTabOrder(ok_, print_);

    connect(locations_, &QComboBox::activated, this, &McSummaryWindow::onLocationChosen);
    connect(subLocations_, &QComboBox::activated, this, &McSummaryWindow::onSubLocationChosen);
    connect(ok_, &QPushButton::clicked, this, &QDialog::close);
    connect(print_, &QPushButton::clicked, this, &McSummaryWindow::printWithDialog);
    connect(appendNotes_, &QPushButton::clicked, this, &McSummaryWindow::openNotes);
}

McSummaryWindow* McSummaryWindow::showSummary(QPointer<McSummaryWindow>& remembered, AppState& app,
                                              const LayoutMetrics& metrics, JobListLink& jobs,
                                              QWidget* parent) {
    if (!remembered) {
        remembered = new McSummaryWindow(app, metrics, jobs, parent);
    }
    remembered->show();
    remembered->raise();
    remembered->activateWindow();
    return remembered;
}

void McSummaryWindow::refreshFigures() {
    model_.recompute(app_.meter.active_materials, app_.settings.international_date);
    showFigures();
}

QLabel* McSummaryWindow::field(int id) const {
    const auto it = fields_.find(id);
    return it == fields_.end() ? nullptr : it->second;
}

void McSummaryWindow::fillLocationList() {
    const QSignalBlocker block(locations_);
    locations_->clear();
    for (const int location : model_.locations()) {
        locations_->addItem(from_cp1252(location_name(location)));
    }
    locations_->setCurrentIndex(model_.locations().empty() ? -1 : 0);
}

void McSummaryWindow::fillSubLocationList() {
    const QSignalBlocker block(subLocations_);
    subLocations_->clear();
    for (const int sub : model_.sub_locations()) {
        subLocations_->addItem(from_cp1252(sub_location_name(sub)));
    }
    subLocations_->setCurrentIndex(model_.sub_locations().empty() ? -1 : 0);
}

void McSummaryWindow::showFigures() {
    const JobStatistics& s = model_.statistics();
    const std::pair<int, const char*> figures[] = {
        {kCountId, s.count_text},       {kFirstId, s.first_text},
        {kLastId, s.last_text},         {kMinId, s.min_text},
        {kMaxId, s.max_text},           {kScanCountId, s.scan_count_text},
        {kScanMinId, s.scan_min_text},  {kScanMaxId, s.scan_max_text},
        {kMaterialId, s.material_text},
    };
    for (const auto& [id, text] : figures) {
        set_text(fields_.at(id), from_cp1252(text));
    }
}

void McSummaryWindow::onLocationChosen(int index) {
    model_.choose_location(index, app_.meter.active_materials, app_.settings.international_date);
    fillSubLocationList();
    showFigures();
}

void McSummaryWindow::onSubLocationChosen(int index) {
    model_.choose_sub_location(index, app_.meter.active_materials,
                               app_.settings.international_date);
    showFigures();
}

std::string McSummaryWindow::jobEntry() const {
    // A retitled job prints under its new title while the job list still shows this kind.
    if (app_.wizard.management_type == ManagedKind::Mc) {
        if (auto entry = jobs_.entry_text(model_.job_index())) {
            return *entry;
        }
    }
    return openingEntry_;
}

SummaryPage McSummaryWindow::page(int width, int height) const {
    return model_.page(width, height, app_.meter.model(), jobEntry(),
                       app_.store.annotations.notes(RecordKind::Mc, model_.job()));
}

bool McSummaryWindow::printPage(PrintDocument& document) const {
    if (!document.nextPage()) {
        return false;
    }
    const QSize size = document.pageSize();
    paint_summary_page(document.painter(), page(size.width(), size.height()));
    return true;
}

void McSummaryWindow::printWithDialog() {
    QPrinter printer(QPrinter::HighResolution);
    if (!ask_for_printer(printer, this, QStringLiteral("Print Job Summary"))) {
        return;
    }
    PrintDocument document(printer);
    if (!document.begin() || !printPage(document) || !document.end()) {
        report_print_failure(this);
    }
}

void McSummaryWindow::updateAnnotationButton() {
    appendNotes_->setEnabled(annotation_allowed(jobs_));
}

void McSummaryWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        updateAnnotationButton();
    }
    QDialog::changeEvent(event);
}

void McSummaryWindow::openNotes() {
    updateAnnotationButton();
    if (!appendNotes_->isEnabled()) {
        return;
    }
    if (!notes_) {
        // Owned by the main window, like the other annotation window.
        notes_ =
            new JobNotesDialog(app_.store, RecordKind::Mc, model_.job(), metrics_, parentWidget());
    }
    notes_->show();
    notes_->raise();
    notes_->activateWindow();
}

} // namespace qm
