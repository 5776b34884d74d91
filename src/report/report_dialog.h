#pragma once

#include "files/file_commands.h"
#include "report/project_report_source.h"
#include "report/qt_report_document.h"
#include "report/report_content.h"
#include "store/user_interface.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace qm {

// The report choices kept between runs, in the user's configuration folder
// ($XDG_CONFIG_HOME/quellmark/report.ini), not in qm.dat. The title, "Prepared for" and "Site"
// are kept with the jobs they were given for: a report of other data starts without them.
// "Prepared by", the sections, the paper and the folder are kept for every report.
struct ReportChoices {
    ReportFields fields;
    std::string fields_for; // the jobs the title, client and site belong to (report_jobs_key)
    ReportSections sections;
    Paper paper = Paper::A4;
    std::string folder; // where the last report was saved (file-name bytes)
};

// The choices as stored, with the locale's paper and every section where nothing is stored.
ReportChoices load_report_choices();
void save_report_choices(const ReportChoices& choices);

// Names a set of jobs for the remembered title, client and site: meter, kind, job number, ID,
// number of readings and the first reading's date and time of each, so that another download
// of jobs with the same numbers and IDs has another name.
std::string report_jobs_key(const std::vector<ReportJob>& jobs);

// A drying project the selected jobs belong to, which the dialog offers to report on.
struct ReportProjectChoice {
    std::string name; // UTF-8; empty: the jobs belong to no project
    // Loads the project's pages and its attached jobs in the given units; false with a message
    // for the user.
    std::function<bool(const ReportUnits&, ProjectReportData&, std::string&)> load;
};

// The "Report" dialog for the jobs selected in the job list: the title, "Prepared for", "Site",
// "Prepared by", the sections and the paper, then "Save PDF..." (a file, written atomically with
// a progress dialog that can cancel it) or "Print..." (a print preview, from which the print
// dialog prints). The choices are remembered when a report is made.
class ReportDialog : public QDialog {
    Q_OBJECT
public:
    // With a project, a box "Drying project "NAME"" makes the project's report instead: its
    // pages, then the sections of all its attached jobs.
    ReportDialog(std::vector<ReportJob> jobs, ReportUnits units, FileDialogs& dialogs,
                 UserInterface& ui, QWidget* parent = nullptr, ReportProjectChoice project = {});

    QLineEdit* titleEdit() const { return title_; }
    QLineEdit* preparedForEdit() const { return preparedFor_; }
    QLineEdit* siteEdit() const { return site_; }
    QLineEdit* preparedByEdit() const { return preparedBy_; }
    QComboBox* paperBox() const { return paper_; }
    QCheckBox* sectionBox(int index) const { return sections_[index]; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* printButton() const { return print_; }
    QCheckBox* projectBox() const { return projectBox_; } // null without a project

    // The request the fields and boxes make now, printed today.
    ReportRequest request() const;

    // "Save PDF...": asks for the file and writes it. True when the file was written.
    bool savePdf();

private:
    void print();
    void remember(const std::string& folder);
    bool renderWithProgress(const std::function<bool(const ReportProgress&)>& render);
    // The request and jobs to render: the project's when its box is checked. False (said) when
    // the project cannot be loaded.
    bool content(ReportRequest& request, std::vector<ReportJob>& jobs);

    std::vector<ReportJob> jobs_;
    ReportUnits units_;
    FileDialogs& dialogs_;
    UserInterface& ui_;
    ReportChoices choices_;
    QLineEdit* title_ = nullptr;
    QLineEdit* preparedFor_ = nullptr;
    QLineEdit* site_ = nullptr;
    QLineEdit* preparedBy_ = nullptr;
    QCheckBox* sections_[4] = {};
    QComboBox* paper_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* print_ = nullptr;
    ReportProjectChoice project_;
    QCheckBox* projectBox_ = nullptr;
};

// Runs the dialog for the jobs; with no job, says that jobs must be selected first.
void open_report_dialog(std::vector<ReportJob> jobs, ReportUnits units, FileDialogs& dialogs,
                        UserInterface& ui, QWidget* parent, ReportProjectChoice project = {});

} // namespace qm
