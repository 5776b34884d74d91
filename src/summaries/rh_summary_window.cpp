#include "summaries/rh_summary_window.h"

#include "store/lookup_tables.h"
#include "ui/dialog_controls.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace qm {

namespace {

using namespace dialog_controls;

// The window's size in dialog units.
constexpr int kWidthDu = 218;
constexpr int kHeightDu = 250;

} // namespace

RhSummaryWindow::RhSummaryWindow(AppState& app, const LayoutMetrics& metrics, JobListLink& jobs,
                                 QWidget* parent)
    : SummaryWindow(app, metrics, jobs, ManagedKind::Rh, QStringLiteral("RH/T Summary"), kWidthDu,
                    kHeightDu, parent),
      model_(app.store, app.selection.current_job_index, app.store.working_set) {
    buildControls(metrics);
    model_.open(app_.settings.celsius, app_.settings.international_date);
    fillList(locations_, model_.locations(), location_name);
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
    appendNotes_ = add_button(this, m, QStringLiteral("Append &Notes"), 15, 176, 50, 14);
    ok_ = add_button(this, m, QStringLiteral("&OK"), 54, 228, 50, 14);
    print_ = add_button(this, m, QStringLiteral("&Print"), 115, 228, 50, 14);
    ok_->setDefault(true);
    setTabOrder(locations_, appendNotes_);
    setTabOrder(appendNotes_, ok_);
    setTabOrder(ok_, print_);

    connect(locations_, &QComboBox::activated, this, &RhSummaryWindow::onLocationChosen);
    connectCommonControls();
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

void RhSummaryWindow::showFigures() {
    const JobStatistics& s = model_.statistics();
    showField(kMinLabelId, from_cp1252(rh_minimum_label(model_.celsius())));
    showField(kMaxLabelId, from_cp1252(rh_maximum_label(model_.celsius())));
    showField(kMinId, from_cp1252(s.min_text));
    showField(kMaxId, from_cp1252(s.max_text));
    showField(kCountId, from_cp1252(s.count_text));
    showField(kFirstId, from_cp1252(s.first_text));
    showField(kLastId, from_cp1252(s.last_text));
}

void RhSummaryWindow::onLocationChosen(int index) {
    model_.choose_location(index, app_.settings.celsius, app_.settings.international_date);
    showFigures();
}

SummaryPage RhSummaryWindow::page(int width, int height) const {
    return model_.page(width, height, app_.meter.model(), jobEntry(), jobNotes());
}

} // namespace qm
