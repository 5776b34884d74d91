#pragma once

#include "summaries/summary_window.h"

#include <QPointer>

namespace qm {

// The "RH/T Summary" window of an RH/T job: a location list and the figures of the chosen
// location (count, first and last reading, smallest and largest absolute humidity in GPP or GPK
// by the temperature unit at each recomputation). "Print" prints them with the job's notes on
// one page.
class RhSummaryWindow : public SummaryWindow {
    Q_OBJECT
public:
    static constexpr int kCountId = 1060;
    static constexpr int kFirstId = 1061;
    static constexpr int kLastId = 1068;
    static constexpr int kMinLabelId = 1050;
    static constexpr int kMinId = 1055;
    static constexpr int kMaxLabelId = 1051;
    static constexpr int kMaxId = 1056;

    RhSummaryWindow(AppState& app, const LayoutMetrics& metrics, JobListLink& jobs,
                    QWidget* parent = nullptr);

    // "View Summary" under RH/T management: creates and shows the window only when none is open;
    // an open one is left as it is.
    static RhSummaryWindow* showSummary(QPointer<RhSummaryWindow>& remembered, AppState& app,
                                        const LayoutMetrics& metrics, JobListLink& jobs,
                                        QWidget* parent);

    SummaryPage page(int width, int height) const override;
    void refreshFigures() override;

    const RhSummaryModel& model() const { return model_; }

protected:
    const SummaryJob& summaryJob() const override { return model_; }

private:
    void buildControls(const LayoutMetrics& m);
    void showFigures();
    void onLocationChosen(int index);

    RhSummaryModel model_;
};

} // namespace qm
