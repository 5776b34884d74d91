#include "views/team_sync_flow.h"

#include "ui/qt_text.h"
#include "views/refused_edits_dialog.h"
#include "views/wait_dialog.h"

#include <QEventLoop>
#include <QInputDialog>
#include <QLineEdit>
#include <QSettings>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace qm {

namespace {

constexpr const char* kCaption = "Sync";

QSettings sync_settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quellmark"),
                     QStringLiteral("sync"));
}

// Progress and Cancel between the sync's thread and the wait dialog.
class DialogObserver : public SyncObserver {
public:
    DialogObserver(WaitDialog& dialog, const std::atomic<bool>& cancel)
        : dialog_(dialog), cancel_(cancel) {}
    void progress(std::string_view step, std::size_t done, std::size_t total) override {
        const QString text = QString::fromStdString(sync_progress_text(step, done, total));
        QMetaObject::invokeMethod(
            &dialog_, [d = &dialog_, text] { d->setStatus(text); }, Qt::QueuedConnection);
    }
    bool cancelled() override { return cancel_; }

private:
    WaitDialog& dialog_;
    const std::atomic<bool>& cancel_;
};

// Asks on the GUI thread, the sync's thread waiting for the answer.
class DialogAsker : public PasswordAsker {
public:
    DialogAsker(WaitDialog& dialog, const TeamSyncActions& actions)
        : dialog_(dialog), actions_(actions) {}
    std::optional<std::string> ask_password(const std::string& server,
                                            const std::string& refusal) override {
        std::optional<std::string> typed;
        QMetaObject::invokeMethod(
            &dialog_,
            [&] {
                typed = actions_.ask_password(&dialog_, QString::fromStdString(server),
                                              QString::fromStdString(refusal));
            },
            Qt::BlockingQueuedConnection);
        return typed;
    }

private:
    WaitDialog& dialog_;
    const TeamSyncActions& actions_;
};

std::optional<std::string> password_dialog(QWidget* parent, const QString& server,
                                           const QString& refusal) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Team server password"));
    dialog.setTextEchoMode(QLineEdit::Password);
    // "&" of a URI's query is text, not a mnemonic.
    QString label = QStringLiteral("Password for %1:").arg(QString(server).replace('&', "&&"));
    if (!refusal.isEmpty()) {
        label = QStringLiteral("The server did not take the password: %1\n\n")
                    .arg(QString(refusal).replace('&', "&&")) +
                label;
    }
    dialog.setLabelText(label + QStringLiteral("\n(used for this sync only, never kept)"));
    const bool ok = dialog.exec() == QDialog::Accepted;
    QString typed = dialog.textValue();
    dialog.setTextValue(QString());
    std::optional<std::string> password;
    if (ok) {
        QByteArray utf8 = typed.toUtf8();
        // On the heap, so that moving it on leaves no copy behind; the sync wipes it.
        password.emplace();
        password->reserve(std::max<std::size_t>(static_cast<std::size_t>(utf8.size()), 64));
        password->assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        utf8.fill('\0');
    }
    typed.fill(QChar(u'\0'));
    return password;
}

std::optional<QString> server_dialog(QWidget* parent, const QString& current) {
    bool ok = false;
    const QString text = QInputDialog::getText(
        parent, QStringLiteral("Team server"),
        QStringLiteral("Address of the team server: a libpq URI such as\n"
                       "postgresql://anna@db.example.com/quellmark?sslmode=verify-full\n"
                       "or service=NAME. Empty: QUELLMARK_SERVER.\n"
                       "No password here: it is asked for when the server wants one."),
        QLineEdit::Normal, current, &ok);
    return ok ? std::optional<QString>(text.trimmed()) : std::nullopt;
}

std::optional<RefusedChoices> refused_dialog(QWidget* parent,
                                             const std::vector<RefusedEdit>& edits) {
    RefusedEditsDialog dialog(edits, parent);
    return dialog.exec() == QDialog::Accepted ? std::optional(dialog.choices()) : std::nullopt;
}

} // namespace

QString team_server_setting() {
    return sync_settings().value(QStringLiteral("server")).toString();
}

void set_team_server_setting(const QString& server) {
    QSettings s = sync_settings();
    s.setValue(QStringLiteral("server"), server);
}

TeamSyncFlow::TeamSyncFlow(const LayoutMetrics& metrics, std::string archive_path,
                           TeamSyncActions actions)
    : metrics_(metrics), archivePath_(std::move(archive_path)), actions_(std::move(actions)) {
    if (!actions_.edit_server) {
        actions_.edit_server = server_dialog;
    }
    if (!actions_.ask_password) {
        actions_.ask_password = password_dialog;
    }
    if (!actions_.choose_refused) {
        actions_.choose_refused = refused_dialog;
    }
}

void TeamSyncFlow::tell(const std::string& text, MessageIcon icon) {
    if (actions_.ui != nullptr && !text.empty()) {
        actions_.ui->message_box(to_cp1252(QString::fromStdString(text)), kCaption, icon);
    }
}

bool TeamSyncFlow::editServer(QWidget* owner) {
    QString server = team_server_setting();
    for (;;) {
        const std::optional<QString> typed = actions_.edit_server(owner, server);
        if (!typed) {
            return false;
        }
        server = *typed;
        const std::string problem = server_setting_problem(server.toStdString());
        if (problem.empty()) {
            set_team_server_setting(server);
            return true;
        }
        // Not kept, and not shown again: the password in it is typed anew without.
        server.clear();
        tell(problem, MessageIcon::Warning);
    }
}

void TeamSyncFlow::run(QWidget* owner) {
    if (running_) {
        return;
    }
    if (team_server_setting().isEmpty() && server_conninfo("").empty() && !editServer(owner)) {
        return;
    }
    running_ = true;
    RefusedChoices choices;
    for (;;) {
        const SyncOutcome outcome = runOnce(owner, choices);
        const bool refused =
            outcome.status == SyncOutcome::Status::Done && !outcome.report.refused.empty();
        tell(outcome.message, outcome.status == SyncOutcome::Status::Failed ? MessageIcon::Warning
                              : refused                                     ? MessageIcon::Warning
                                        : MessageIcon::Information);
        if (!refused) {
            break;
        }
        const auto chosen = actions_.choose_refused(owner, outcome.report.refused);
        if (!chosen || chosen->by_key.empty()) {
            break; // every edit left for later: kept here, refused again at the next sync
        }
        choices = *chosen;
    }
    running_ = false;
}

SyncOutcome TeamSyncFlow::runOnce(QWidget* owner, const RefusedChoices& choices) {
    WaitDialog dialog(metrics_, owner);
    dialog.setWindowTitle(QStringLiteral("Sync"));
    dialog.setExplanation(QStringLiteral("Syncing this computer's archive with the team "
                                         "server.\n\nCancel stops it between visits; what was "
                                         "sent is kept."));
    dialog.setStatus(QStringLiteral("Connecting to the team server\u2026"));
    dialog.setWindowModality(Qt::ApplicationModal);
    std::atomic<bool> cancel = false;
    QObject::connect(&dialog, &WaitDialog::cancelPressed, [&cancel] { cancel = true; });
    dialog.show();

    DialogObserver observer(dialog, cancel);
    DialogAsker asker(dialog, actions_);
    const SyncRequest request{team_server_setting().toStdString(), archivePath_, 10};
    SyncOutcome outcome;
    QEventLoop loop;
    std::atomic<bool> finished = false;
    std::thread worker([&] {
        outcome = run_team_sync(request, asker, observer, choices);
        finished = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (actions_.waiting) {
        actions_.waiting(dialog);
    }
    // A quit delivered while `waiting` pumped events is lost to a later exec(): check first.
    if (!finished) {
        loop.exec();
    }
    worker.join();
    return outcome;
}

} // namespace qm
