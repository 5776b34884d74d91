// The main window and what is said with each visit: who reads (File > Technician..., asked once
// at the first download) and with which of the user's meters.
#include "archive/archive_session.h"
#include "shell/main_window.h"
#include "ui/qt_text.h"
#include "views/technician_setting.h"

#include <QInputDialog>

namespace qm {

void MainWindow::editTechnician() {
    const QString current = technician_setting();
    std::optional<QString> name;
    if (services_.ask_technician) {
        name = services_.ask_technician(current);
    } else {
        bool ok = false;
        const QString text = QInputDialog::getText(
            this, QStringLiteral("Technician"),
            QStringLiteral("Your name, kept with every visit you download or open:"),
            QLineEdit::Normal, current, &ok);
        if (ok) {
            name = text;
        }
    }
    if (name) {
        set_technician_setting(name->left(static_cast<int>(kMaxEvidenceTextBytes)));
    }
}

void MainWindow::askTechnicianOnce() {
    // A name that cannot be kept (a settings file this user cannot write) would be asked at
    // every download: it is not asked then.
    if (technician_asked() || !technician_setting().isEmpty() || !technician_setting_writable()) {
        return;
    }
    set_technician_asked(); // once: a user who gives no name is not asked at every download
    editTechnician();
}

void MainWindow::sayEvidence(bool ask) {
    VisitArchive* archive = archive_->archive();
    if (archive == nullptr) {
        return;
    }
    const Result<std::vector<UserMeter>> meters = user_meters(*archive);
    const std::vector<UserMeter> fitting =
        meters ? meters_for_model(*meters, from_cp1252(state_.meter.model()).toStdString())
               : std::vector<UserMeter>{};
    const UserMeter* meter = fitting.size() == 1 ? &fitting[0] : nullptr;
    if (fitting.size() > 1 && ask) {
        std::optional<std::size_t> chosen;
        if (services_.choose_meter) {
            chosen = services_.choose_meter(fitting);
        } else {
            QStringList names;
            for (const UserMeter& m : fitting) {
                names << QString::fromStdString(m.serial.empty() ? m.name
                                                                 : m.name + " (" + m.serial + ")");
            }
            bool ok = false;
            const QString name = QInputDialog::getItem(
                this, QStringLiteral("Meter"),
                QStringLiteral("Which meter was this download read with?"), names, 0, false, &ok);
            if (ok) {
                chosen = static_cast<std::size_t>(names.indexOf(name));
            }
        }
        if (chosen && *chosen < fitting.size()) {
            meter = &fitting[*chosen];
        }
    }
    archive_->set_evidence(evidence_with(technician_setting().toStdString(), meter));
}

} // namespace qm
