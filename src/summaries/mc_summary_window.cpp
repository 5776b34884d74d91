#include "summaries/mc_summary_window.h"

#include "store/lookup_tables.h"
#include "ui/dialog_controls.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace qm {

namespace {

using namespace dialog_controls;

// The window's size in dialog units.
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
    : SummaryWindow(app, metrics, jobs, ManagedKind::Mc, QStringLiteral("Job Summary"), kWidthDu,
                    kHeightDu, parent),
      model_(app.store, app.selection.current_job_index, app.store.working_set) {
    buildControls(metrics);
    model_.open(app_.meter.active_materials, app_.settings.international_date);
    fillList(locations_, model_.locations(), location_name);
    fillList(subLocations_, model_.sub_locations(), sub_location_name);
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
    appendNotes_ = add_button(this, m, QStringLiteral("Append &Notes"), 7, 154, 50, 14);
    // The SCAN heading's box reaches over the button; keep the button on top for the mouse.
    appendNotes_->raise();
    ok_ = add_button(this, m, QStringLiteral("&OK"), 53, 249, 50, 14);
    print_ = add_button(this, m, QStringLiteral("&Print"), 113, 249, 50, 14);
    ok_->setDefault(true);
    setTabOrder(locations_, subLocations_);
    setTabOrder(subLocations_, appendNotes_);
    setTabOrder(appendNotes_, ok_);
    setTabOrder(ok_, print_);

    connect(locations_, &QComboBox::activated, this, &McSummaryWindow::onLocationChosen);
    connect(subLocations_, &QComboBox::activated, this, &McSummaryWindow::onSubLocationChosen);
    connectCommonControls();
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
        showField(id, from_cp1252(text));
    }
}

void McSummaryWindow::onLocationChosen(int index) {
    model_.choose_location(index, app_.meter.active_materials, app_.settings.international_date);
    fillList(subLocations_, model_.sub_locations(), sub_location_name);
    showFigures();
}

void McSummaryWindow::onSubLocationChosen(int index) {
    model_.choose_sub_location(index, app_.meter.active_materials,
                               app_.settings.international_date);
    showFigures();
}

SummaryPage McSummaryWindow::page(int width, int height) const {
    return model_.page(width, height, app_.meter.model(), jobEntry(), jobNotes());
}

} // namespace qm
