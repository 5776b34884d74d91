#pragma once

// Sync on the desktop: the History and Projects windows' Sync, and File > Team Server....

#include "store/user_interface.h"
#include "sync/sync_session.h"
#include "ui/layout_metrics.h"
#include "views/sync_texts.h"
#include "views/team_server_setting.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace qm {

class WaitDialog;

// What a sync asks of the user; each left empty gets the real dialog.
struct TeamSyncActions {
    // Team server...: the address typed (empty for QUELLMARK_SERVER); nothing when cancelled.
    std::function<std::optional<QString>(QWidget* parent, const QString& current)> edit_server;
    // The server's password; nothing when cancelled. `refusal` says why the last was not taken.
    std::function<std::optional<std::string>(QWidget* parent, const QString& server,
                                             const QString& refusal)>
        ask_password;
    // The refused edits' choices; nothing when cancelled.
    std::function<std::optional<RefusedChoices>(QWidget* parent,
                                                const std::vector<RefusedEdit>& edits)>
        choose_refused;
    // The wait dialog, once shown (tests press Cancel there).
    std::function<void(WaitDialog&)> waiting;
    // The messages. Empty: through `ui` when it is given (text, caption and icon), else a message
    // box with the server's own words under Details.
    std::function<void(QWidget* parent, const SyncMessage&)> show_message;
    UserInterface* ui = nullptr;
};

// Runs Sync for a window: the archive at `archive_path` with the server of the settings (asked
// for first when neither they nor QUELLMARK_SERVER name one), on a thread of its own while the
// wait dialog shows progress, then the outcome and the refused edits to decide on. A password
// typed is held for the whole of one Sync (the syncs its refused edits' choices start too), in
// memory only, and wiped when it is over.
class TeamSyncFlow {
public:
    TeamSyncFlow(const LayoutMetrics& metrics, std::string archive_path, TeamSyncActions actions);

    // Returns when the sync (and any sync the refused edits' choices start) is over.
    void run(QWidget* owner);
    // File > Team server...: the address, checked; false when cancelled.
    bool editServer(QWidget* owner);
    bool running() const { return running_; }

private:
    void tell(QWidget* parent, const SyncMessage& message);

    const LayoutMetrics& metrics_;
    std::string archivePath_;
    TeamSyncActions actions_;
    SyncPassword password_; // the password of the running Sync, when one was typed
    bool running_ = false;
};

} // namespace qm
