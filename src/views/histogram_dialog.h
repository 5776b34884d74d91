#pragma once

#include "analysis/histogram.h"
#include "state/app_state.h"
#include "ui/layout_metrics.h"
#include "ui/qt_histogram_painter.h"

#include <QDialog>

#include <functional>
#include <string>

class QPainter;
class QPrinter;
class QPushButton;

namespace qm {

// The "Histogram" dialog: the bar chart of the current job's bins (AppState::histogram_bins),
// "Print" (one page through the print dialog) and "Done". Modeless; it deletes itself when
// closed, so an owner keeps it in a QPointer to have at most one.
class HistogramDialog : public QDialog {
    Q_OBJECT

public:
    // job_entry gives the job list's text of the selected job for the printed title.
    HistogramDialog(AppState& app, const LayoutMetrics& metrics,
                    std::function<std::string()> job_entry, QWidget* parent = nullptr);

    // Prints the chart on one page of an already set-up printer. False when the printer could not
    // be started (the page is not printed).
    bool printChart(QPrinter& printer);

    QPushButton* printButton() const { return printButton_; }
    QPushButton* doneButton() const { return doneButton_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void printWithDialog();
    std::string printedTitle() const;

    AppState& app_;
    std::function<std::string()> jobEntry_;
    QPushButton* printButton_ = nullptr;
    QPushButton* doneButton_ = nullptr;
};

} // namespace qm
