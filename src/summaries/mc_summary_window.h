#pragma once

#include "summaries/summary_window.h"

#include <QPointer>

class QComboBox;

namespace qm {

// The "Job Summary" window of an MC job: a location and a sub-location list, and the figures of
// the chosen group (first and last reading, the PIN and SCAN counts, minimum and maximum, the
// material). "Print" prints them with the job's notes on one page.
class McSummaryWindow : public SummaryWindow {
    Q_OBJECT
public:
    static constexpr int kSubLocationListId = 1005;
    static constexpr int kFirstId = 1061;
    static constexpr int kLastId = 1068;
    static constexpr int kCountId = 1060;
    static constexpr int kMaterialId = 1069;
    static constexpr int kMinId = 1050;
    static constexpr int kMaxId = 1051;
    static constexpr int kScanCountId = 1062;
    static constexpr int kScanMinId = 1052;
    static constexpr int kScanMaxId = 1053;

    McSummaryWindow(AppState& app, const LayoutMetrics& metrics, JobListLink& jobs,
                    QWidget* parent = nullptr);

    // "View Summary" under MC management: creates the window the first time, then shows it and
    // brings it forward every time.
    static McSummaryWindow* showSummary(QPointer<McSummaryWindow>& remembered, AppState& app,
                                        const LayoutMetrics& metrics, JobListLink& jobs,
                                        QWidget* parent);

    SummaryPage page(int width, int height) const override;
    void refreshFigures() override;

    const McSummaryModel& model() const { return model_; }
    QComboBox* subLocationList() const { return subLocations_; }

protected:
    const SummaryJob& summaryJob() const override { return model_; }

private:
    void buildControls(const LayoutMetrics& m);
    void showFigures();
    void onLocationChosen(int index);
    void onSubLocationChosen(int index);

    McSummaryModel model_;
    QComboBox* subLocations_ = nullptr;
};

} // namespace qm
