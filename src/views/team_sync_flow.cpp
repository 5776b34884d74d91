#include "views/team_sync_flow.h"

#include "sync/server_messages.h"
#include "ui/qt_text.h"
#include "views/password_dialog.h"
#include "views/refused_edits_dialog.h"
#include "views/server_address_dialog.h"
#include "views/sync_worker.h"

#include <QMessageBox>

namespace qm {

namespace {

std::optional<RefusedChoices> refused_dialog(QWidget* parent,
                                             const std::vector<RefusedEdit>& edits) {
    RefusedEditsDialog dialog(edits, parent);
    return dialog.exec() == QDialog::Accepted ? std::optional(dialog.choices()) : std::nullopt;
}

} // namespace

TeamSyncFlow::TeamSyncFlow(const LayoutMetrics& metrics, std::string archive_path,
                           TeamSyncActions actions)
    : metrics_(metrics), archivePath_(std::move(archive_path)), actions_(std::move(actions)) {
    if (!actions_.edit_server) {
        actions_.edit_server = server_address_dialog;
    }
    if (!actions_.ask_password) {
        actions_.ask_password = password_dialog;
    }
    if (!actions_.choose_refused) {
        actions_.choose_refused = refused_dialog;
    }
}

void TeamSyncFlow::tell(QWidget* parent, const SyncMessage& message) {
    if (message.text.isEmpty()) {
        return;
    }
    if (actions_.show_message) {
        actions_.show_message(parent, message);
    } else if (actions_.ui != nullptr) {
        actions_.ui->message_box(to_cp1252(message.text), message.caption.toStdString(),
                                 message.icon);
    } else {
        sync_message_box(message, parent)->exec();
    }
}

bool TeamSyncFlow::editServer(QWidget* owner) {
    QString server = team_server_setting();
    for (;;) {
        const std::optional<QString> typed = actions_.edit_server(owner, server);
        if (!typed) {
            return false;
        }
        const std::string problem = server_setting_problem(typed->toStdString());
        if (problem.empty()) {
            set_team_server_setting(*typed);
            return true;
        }
        // Not kept; shown again for mending, without the password it may hold.
        server = QString::fromStdString(address_without_password(typed->toStdString()));
        tell(owner, address_message(problem));
    }
}

void TeamSyncFlow::run(QWidget* owner) {
    if (running_) {
        return;
    }
    // No server named anywhere: asked for; none given, nothing to sync with.
    if (team_server_setting().isEmpty() && server_conninfo("").empty() &&
        (!editServer(owner) || team_server_setting().isEmpty())) {
        return;
    }
    running_ = true;
    RefusedChoices choices;
    // Asked only when the sync holds no password the server takes (sync_session.h).
    const SyncPasswordQuestion ask = [this](QWidget* parent, const std::string& server,
                                            const std::string& refusal) {
        return actions_.ask_password(parent, QString::fromStdString(server),
                                     password_refusal_text(refusal));
    };
    for (;;) {
        const SyncRequest request{team_server_setting().toStdString(), archivePath_, 10};
        const SyncOutcome outcome =
            run_sync_waiting(metrics_, owner, request, choices, ask, password_, actions_.waiting);
        tell(owner, outcome_message(outcome));
        const bool refused =
            outcome.status == SyncOutcome::Status::Done && !outcome.report.refused.empty();
        if (!refused) {
            break;
        }
        const auto chosen = actions_.choose_refused(owner, outcome.report.refused);
        if (!chosen || chosen->by_key.empty()) {
            break; // every edit left for later: kept here, refused again at the next sync
        }
        choices = *chosen;
    }
    password_.forget();
    running_ = false;
}

} // namespace qm
