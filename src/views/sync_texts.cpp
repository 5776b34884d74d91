#include "views/sync_texts.h"

#include "sync/server_messages.h"
#include "ui/qt_user_interface.h"

#include <QMessageBox>

namespace qm {

SyncMessage outcome_message(const SyncOutcome& outcome) {
    SyncMessage message{QString::fromUtf8(kSyncCaption),
                        QString::fromStdString(outcome.message),
                        {},
                        MessageIcon::Information};
    if (outcome.status == SyncOutcome::Status::Failed) {
        const PlainMessage plain = plain_server_message(outcome.message);
        message.text = QString::fromStdString(plain.text);
        message.details = QString::fromStdString(plain.details);
        message.icon = MessageIcon::Warning;
    } else if (outcome.status == SyncOutcome::Status::Done && !outcome.report.refused.empty()) {
        message.icon = MessageIcon::Warning;
    }
    return message;
}

SyncMessage address_message(const std::string& problem) {
    return {QString::fromUtf8(kTeamServerCaption),
            QString::fromStdString(problem),
            {},
            MessageIcon::Warning};
}

QString password_refusal_text(const std::string& refusal) {
    if (refusal.empty()) {
        return {};
    }
    if (server_problem(refusal) == ServerProblem::PasswordRefused) {
        return QStringLiteral("The team server did not take that password.");
    }
    return QString::fromStdString(plain_server_message(refusal).text);
}

std::unique_ptr<QMessageBox> sync_message_box(const SyncMessage& message, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(to_qt_icon(message.icon), message.caption,
                                             message.text, QMessageBox::Ok, parent);
    box->setDetailedText(message.details);
    return box;
}

} // namespace qm
