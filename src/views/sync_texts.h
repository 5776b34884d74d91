#pragma once

// What Sync tells the user: the captions, the wait dialog's texts, and the messages of an outcome
// or of an address that cannot be kept, in plain words with the server's own text under Details.

#include "store/user_interface.h"
#include "sync/sync_session.h"

#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

namespace qm {

inline constexpr const char* kSyncCaption = "Sync";
inline constexpr const char* kTeamServerCaption = "Team server";
inline constexpr const char* kSyncExplanation =
    "Syncing this computer's archive with the team server.\n\nCancel stops it between visits; "
    "what was sent is kept.";
inline constexpr const char* kSyncConnecting = "Connecting to the team server\u2026";

// One message box of Sync.
struct SyncMessage {
    QString caption;
    QString text;    // empty: nothing to say
    QString details; // the server's own words, under "Show Details..."; empty for none
    MessageIcon icon = MessageIcon::Information;
};

// The message of a sync's outcome; a failure of reaching the server in plain words.
SyncMessage outcome_message(const SyncOutcome& outcome);
// The warning of the Team server box for an address that cannot be kept.
SyncMessage address_message(const std::string& problem);
// The password box's line saying why the last password was not taken.
QString password_refusal_text(const std::string& refusal);
// The message box of a message, not yet shown.
std::unique_ptr<QMessageBox> sync_message_box(const SyncMessage& message, QWidget* parent);

} // namespace qm
