#include "report/report_dialog.h"

#include "files/regular_file.h"
#include "report/qt_report_document.h"
#include "ui/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

const QString kCaption = QStringLiteral("Report");
// Room for a title of about this many characters in the edit fields.
constexpr int kDialogWidthChars = 72;
constexpr std::string_view kWriteFailed = "The report could not be written to ";
constexpr std::string_view kPrintFailed = "The report could not be printed.";
constexpr std::string_view kNothingSelected =
    "Select one or more jobs in the job list for the report.";

struct SectionBox {
    const char* text;
    bool ReportSections::*member;
    const char* key;
};

constexpr SectionBox kSectionBoxes[] = {
    {"&Summary by location", &ReportSections::summary, "summary"},
    {"C&harts over time", &ReportSections::charts, "charts"},
    {"MC &distribution", &ReportSections::distribution, "distribution"},
    {"&All readings", &ReportSections::readings, "readings"},
};

// QSettings file "quellmark/report.ini" under the user's configuration folder.
QSettings report_settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quellmark"),
                     QStringLiteral("report"));
}

std::string text_setting(const QSettings& s, const char* key) {
    return to_cp1252(s.value(QLatin1String(key)).toString());
}

// "Job #1, ID# 734" for one job; "3 jobs: Job #1, Job #3, Job #5" for several.
QString jobs_text(const std::vector<ReportJob>& jobs) {
    if (jobs.size() == 1) {
        return from_cp1252(job_reference(jobs.front()));
    }
    QStringList names;
    for (const ReportJob& job : jobs) {
        names << QStringLiteral("Job #%1").arg(job.job);
    }
    return QStringLiteral("%1 jobs: %2").arg(jobs.size()).arg(names.join(QStringLiteral(", ")));
}

// The units the report takes from the Options menu; GPP or GPK only where RH/T jobs show them.
QString units_text(const ReportUnits& units, const std::vector<ReportJob>& jobs) {
    const bool rh = std::any_of(jobs.begin(), jobs.end(),
                                [](const ReportJob& j) { return j.kind == RecordKind::Rh; });
    QString unit = units.celsius ? QStringLiteral("\u00B0C") : QStringLiteral("\u00B0F");
    if (rh) {
        unit += units.celsius ? QStringLiteral(" and GPK") : QStringLiteral(" and GPP");
    }
    return QStringLiteral("Units and dates as chosen under Options: %1, %2.")
        .arg(unit, units.international_date ? QStringLiteral("day/month/year")
                                            : QStringLiteral("month/day/year"));
}

// A file name from the report's title: characters a file name cannot hold become dashes.
QString proposed_file_name(const QString& title) {
    QString name = title;
    for (QChar& c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('#') ||
            c.category() == QChar::Other_Control) {
            c = QLatin1Char('-');
        }
    }
    name = name.simplified();
    return (name.isEmpty() ? QStringLiteral("report") : name) + QStringLiteral(".pdf");
}

} // namespace

ReportChoices load_report_choices() {
    const QSettings s = report_settings();
    ReportChoices c;
    c.fields = {text_setting(s, "title"), text_setting(s, "preparedFor"), text_setting(s, "site"),
                text_setting(s, "preparedBy")};
    c.fields_for = text_setting(s, "fieldsFor");
    for (const SectionBox& box : kSectionBoxes) {
        c.sections.*box.member = s.value(QLatin1String(box.key), true).toBool();
    }
    const std::optional<Paper> paper =
        paper_from_name(s.value(QStringLiteral("paper")).toString().toStdString());
    c.paper = paper ? *paper : paper_for_locale(paper_locale_from_environment());
    c.folder = to_file_name(s.value(QStringLiteral("folder")).toString());
    return c;
}

void save_report_choices(const ReportChoices& c) {
    QSettings s = report_settings();
    s.setValue(QStringLiteral("title"), from_cp1252(c.fields.title));
    s.setValue(QStringLiteral("fieldsFor"), from_cp1252(c.fields_for));
    s.setValue(QStringLiteral("preparedFor"), from_cp1252(c.fields.prepared_for));
    s.setValue(QStringLiteral("site"), from_cp1252(c.fields.site));
    s.setValue(QStringLiteral("preparedBy"), from_cp1252(c.fields.prepared_by));
    for (const SectionBox& box : kSectionBoxes) {
        s.setValue(QLatin1String(box.key), c.sections.*box.member);
    }
    s.setValue(QStringLiteral("paper"), QString::fromLatin1(paper_name(c.paper)));
    s.setValue(QStringLiteral("folder"), from_file_name(c.folder));
}

std::string report_jobs_key(const std::vector<ReportJob>& jobs) {
    std::string key;
    for (const ReportJob& job : jobs) {
        key += job.model + (job.kind == RecordKind::Mc ? "|mc" : "|rh") + std::to_string(job.job) +
               ':' + std::to_string(job.job_id) + ':' + std::to_string(job.readings.size());
        if (!job.readings.empty()) {
            const Reading& r = job.readings.front();
            char first[48];
            std::snprintf(first, sizeof first, "@%i-%i-%i %i:%i", r.year, r.month, r.day,
                          r.hour_code, r.minute);
            key += first;
        }
        key += ';';
    }
    return key;
}

ReportDialog::ReportDialog(std::vector<ReportJob> jobs, ReportUnits units, FileDialogs& dialogs,
                           UserInterface& ui, QWidget* parent, ReportProjectChoice project)
    : QDialog(parent), jobs_(std::move(jobs)), units_(units), dialogs_(dialogs), ui_(ui),
      choices_(load_report_choices()), project_(std::move(project)) {
    setWindowTitle(kCaption);
    setMinimumWidth(fontMetrics().averageCharWidth() * kDialogWidthChars);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    layout->addLayout(form);
    form->addRow(QStringLiteral("Jobs:"), new QLabel(jobs_text(jobs_), this));
    if (!project_.name.empty() && project_.load) {
        // The project's report covers all its jobs, the selected ones among them.
        projectBox_ = new QCheckBox(
            QStringLiteral("Drying pro&ject \u201C%1\u201D: its logs, then all its jobs")
                .arg(QString::fromStdString(project_.name)),
            this);
        form->addRow(QStringLiteral("Project:"), projectBox_);
    }
    const auto add_edit = [&](const QString& label, const std::string& text) {
        auto* edit = new QLineEdit(from_cp1252(text), this);
        edit->setMaxLength(static_cast<int>(kMaxTitleLength));
        form->addRow(label, edit);
        return edit;
    };
    // A client and site belong to the data they were typed for, not to the next report.
    const bool same_jobs = choices_.fields_for == report_jobs_key(jobs_);
    title_ = add_edit(QStringLiteral("&Title:"), same_jobs ? choices_.fields.title : "");
    const QString jobsTitle = jobs_.size() == 1
                                  ? from_cp1252(report_title({}, jobs_.front()))
                                  : QStringLiteral("Each job's own title, else Job #n");
    title_->setPlaceholderText(jobsTitle);
    if (projectBox_ != nullptr) {
        // A project's report is titled by the project's name when the title is left empty.
        connect(projectBox_, &QCheckBox::toggled, this, [this, jobsTitle](bool project) {
            title_->setPlaceholderText(project ? QString::fromStdString(project_.name) : jobsTitle);
        });
    }
    preparedFor_ =
        add_edit(QStringLiteral("Prepared &for:"), same_jobs ? choices_.fields.prepared_for : "");
    site_ = add_edit(QStringLiteral("S&ite:"), same_jobs ? choices_.fields.site : "");
    preparedBy_ = add_edit(QStringLiteral("Prepared &by:"), choices_.fields.prepared_by);
    auto* boxes = new QVBoxLayout();
    for (std::size_t i = 0; i < std::size(kSectionBoxes); ++i) {
        sections_[i] = new QCheckBox(QString::fromLatin1(kSectionBoxes[i].text), this);
        sections_[i]->setChecked(choices_.sections.*kSectionBoxes[i].member);
        boxes->addWidget(sections_[i]);
    }
    form->addRow(QStringLiteral("Include:"), boxes);
    paper_ = new QComboBox(this);
    paper_->addItems({QStringLiteral("A4"), QStringLiteral("Letter")});
    paper_->setCurrentIndex(choices_.paper == Paper::Letter ? 1 : 0);
    form->addRow(QStringLiteral("Pa&per:"), paper_);
    auto* units_label = new QLabel(units_text(units_, jobs_), this);
    units_label->setWordWrap(true);
    layout->addWidget(units_label);

    auto* buttons = new QDialogButtonBox(this);
    save_ = buttons->addButton(QStringLiteral("Sa&ve PDF\u2026"), QDialogButtonBox::AcceptRole);
    print_ = buttons->addButton(QStringLiteral("P&rint\u2026"), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    save_->setDefault(true);
    layout->addWidget(buttons);
    connect(save_, &QPushButton::clicked, this, [this] {
        if (savePdf()) {
            accept();
        }
    });
    connect(print_, &QPushButton::clicked, this, &ReportDialog::print);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    title_->setFocus();
}

ReportRequest ReportDialog::request() const {
    ReportRequest r;
    r.fields = {to_cp1252(title_->text().trimmed()), to_cp1252(preparedFor_->text().trimmed()),
                to_cp1252(site_->text().trimmed()), to_cp1252(preparedBy_->text().trimmed())};
    for (std::size_t i = 0; i < std::size(kSectionBoxes); ++i) {
        r.sections.*kSectionBoxes[i].member = sections_[i]->isChecked();
    }
    r.units = units_;
    r.paper = paper_->currentIndex() == 1 ? Paper::Letter : Paper::A4;
    const LocalDate today = local_today();
    r.printed = {today.year, today.month, today.day};
    return r;
}

void ReportDialog::remember(const std::string& folder) {
    const ReportRequest r = request();
    choices_.fields = r.fields;
    choices_.fields_for = report_jobs_key(jobs_);
    choices_.sections = r.sections;
    choices_.paper = r.paper;
    if (!folder.empty()) {
        choices_.folder = folder;
    }
    save_report_choices(choices_);
}

// Runs a rendering with a progress dialog whose Cancel stops it between two pages.
bool ReportDialog::renderWithProgress(const std::function<bool(const ReportProgress&)>& render) {
    QProgressDialog dialog(QStringLiteral("Making the report\u2026"), QStringLiteral("Cancel"), 0,
                           1, this);
    dialog.setWindowTitle(kCaption);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(300);
    const bool done = render([&dialog](int page, int pages) {
        dialog.setMaximum(pages);
        dialog.setValue(page - 1);
        dialog.setLabelText(
            QStringLiteral("Making the report: page %1 of %2").arg(page).arg(pages));
        QApplication::processEvents();
        return !dialog.wasCanceled();
    });
    dialog.reset();
    return done;
}

bool ReportDialog::content(ReportRequest& r, std::vector<ReportJob>& jobs) {
    r = request();
    if (projectBox_ == nullptr || !projectBox_->isChecked()) {
        jobs = jobs_;
        return true;
    }
    ProjectReportData data;
    std::string error;
    if (!project_.load(units_, data, error)) {
        ui_.message_box("The project's report cannot be made: " + cp1252_of_utf8(error),
                        to_cp1252(kCaption), MessageIcon::Error);
        return false;
    }
    r.project = data.project;
    r.codes = data.codes;
    jobs = std::move(data.jobs);
    return true;
}

bool ReportDialog::savePdf() {
    ReportRequest r;
    std::vector<ReportJob> jobs;
    if (!content(r, jobs)) {
        return false;
    }
    FileDialogRequest ask;
    ask.filters = {{"PDF Document (*.pdf)", "*.pdf"}};
    ask.default_extension = "pdf";
    const std::string title = r.project && r.fields.title.empty()
                                  ? r.project->title
                                  : report_title(r.fields, jobs_.front());
    ask.file_name = to_file_name(proposed_file_name(from_cp1252(title)));
    const bool remembered =
        !choices_.folder.empty() && QDir(from_file_name(choices_.folder)).exists();
    ask.initial_folder = remembered ? choices_.folder : to_file_name(QDir::homePath());
    const std::optional<std::string> path = dialogs_.save_file(ask);
    if (!path) {
        return false;
    }
    remember(to_file_name(QFileInfo(from_file_name(*path)).absolutePath()));
    ReportOutcome outcome;
    const bool done = renderWithProgress([&](const ReportProgress& progress) {
        outcome = write_report_pdf(*path, jobs, r, progress);
        return outcome.status == ReportStatus::Done;
    });
    if (outcome.status == ReportStatus::Failed) {
        std::string text = std::string(kWriteFailed) + to_cp1252(from_file_name(*path)) + ".";
        if (outcome.error != 0) {
            text += "\n" + file_error_text(outcome.error);
        }
        ui_.message_box(text, to_cp1252(kCaption), MessageIcon::Error);
    }
    return done;
}

void ReportDialog::print() {
    ReportRequest r;
    std::vector<ReportJob> jobs;
    if (!content(r, jobs)) {
        return;
    }
    remember({});
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(r.paper == Paper::Letter ? QPageSize::Letter : QPageSize::A4));
    printer.setFullPage(true);
    printer.setDocName(from_cp1252(report_title(r.fields, jobs_.front())));
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(QStringLiteral("Report: Print Preview"));
    bool failed = false;
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* device) {
        device->setFullPage(true);
        QPainter painter;
        if (!painter.begin(device)) {
            failed = true;
            return;
        }
        renderWithProgress([&](const ReportProgress& progress) {
            const ReportOutcome o = paint_report(*device, painter, jobs, r, progress);
            failed = failed || o.status == ReportStatus::Failed;
            return o.status == ReportStatus::Done;
        });
        painter.end();
    });
    if (preview.exec() == QDialog::Accepted && !failed) {
        accept();
    } else if (failed) {
        ui_.message_box(kPrintFailed, to_cp1252(kCaption), MessageIcon::Error);
    }
}

void open_report_dialog(std::vector<ReportJob> jobs, ReportUnits units, FileDialogs& dialogs,
                        UserInterface& ui, QWidget* parent, ReportProjectChoice project) {
    if (jobs.empty()) {
        ui.message_box(kNothingSelected, to_cp1252(kCaption), MessageIcon::Information);
        return;
    }
    ReportDialog dialog(std::move(jobs), units, dialogs, ui, parent, std::move(project));
    dialog.exec();
}

} // namespace qm
