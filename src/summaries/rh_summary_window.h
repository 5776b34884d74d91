#pragma once

#include "state/app_state.h"
#include "summaries/job_notes_dialog.h"
#include "summaries/summary_model.h"
#include "ui/layout_metrics.h"

#include <QDialog>
#include <QPointer>

#include <map>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace qm {

class JobListLink;
class PrintDocument;

// The "RH/T Summary" window (135) of an RH/T job: a location list and the figures of the chosen
// location (count, first and last reading, smallest and largest absolute humidity in GPP or GPK
// by the temperature unit at each recomputation). "Print" prints them on one page, without
// notes. The window stays with the job that was selected when it opened. Modeless; it deletes
// itself when closed, so its opener keeps it in a QPointer.
class RhSummaryWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCaptionId = 1067;
    static constexpr int kLocationListId = 1074;
    static constexpr int kCountId = 1060;
    static constexpr int kFirstId = 1061;
    static constexpr int kLastId = 1068;
    static constexpr int kMinLabelId = 1050;
    static constexpr int kMinId = 1055;
    static constexpr int kMaxLabelId = 1051;
    static constexpr int kMaxId = 1056;
    static constexpr int kAppendNotesId = 1072;

    RhSummaryWindow(AppState& app, const LayoutMetrics& metrics, JobListLink& jobs,
                    QWidget* parent = nullptr);

    // "View Summary" under RH/T management: creates and shows the window only when none is open;
    // an open one is left as it is.
    static RhSummaryWindow* showSummary(QPointer<RhSummaryWindow>& remembered, AppState& app,
                                        const LayoutMetrics& metrics, JobListLink& jobs,
                                        QWidget* parent);

    bool printPage(PrintDocument& document) const;
    SummaryPage page(int width, int height) const;

    const RhSummaryModel& model() const { return model_; }
    QLabel* field(int id) const;
    QComboBox* locationList() const { return locations_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* printButton() const { return print_; }
    QPushButton* appendNotesButton() const { return appendNotes_; }
    JobNotesDialog* notesDialog() const { return notes_; }

    // The temperature unit or the date order changed: the figures of the chosen group are
    // computed and shown again.
    void refreshFigures();

public Q_SLOTS:
    void updateAnnotationButton();

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildControls(const LayoutMetrics& m);
    void showFigures();
    void onLocationChosen(int index);
    void printWithDialog();
    void openNotes();
    std::string jobEntry() const;

    AppState& app_;
    const LayoutMetrics& metrics_;
    JobListLink& jobs_;
    RhSummaryModel model_;
    std::string openingEntry_;
    std::map<int, QLabel*> fields_;
    QComboBox* locations_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* appendNotes_ = nullptr;
    QPointer<JobNotesDialog> notes_;
};

} // namespace qm
