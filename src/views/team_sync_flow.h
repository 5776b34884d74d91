#pragma once

// Sync on the desktop: the History and Projects windows' Sync, and File > Team server....

#include "store/user_interface.h"
#include "sync/sync_session.h"
#include "ui/layout_metrics.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace qm {

class WaitDialog;

// The team server's address as kept in the settings ("quellmark/sync.ini"); never a password.
QString team_server_setting();
void set_team_server_setting(const QString& server);

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
    // The outcome's message.
    UserInterface* ui = nullptr;
};

// Runs Sync for a window: the archive at `archive_path` with the server of the settings (asked
// for first when neither they nor QUELLMARK_SERVER name one), on a thread of its own while the
// wait dialog shows progress, then the outcome and the refused edits to decide on.
class TeamSyncFlow {
public:
    TeamSyncFlow(const LayoutMetrics& metrics, std::string archive_path, TeamSyncActions actions);

    // Returns when the sync (and any sync the refused edits' choices start) is over.
    void run(QWidget* owner);
    // File > Team server...: the address, checked; false when cancelled.
    bool editServer(QWidget* owner);
    bool running() const { return running_; }

private:
    SyncOutcome runOnce(QWidget* owner, const RefusedChoices& choices);
    void tell(const std::string& text, MessageIcon icon);

    const LayoutMetrics& metrics_;
    std::string archivePath_;
    TeamSyncActions actions_;
    bool running_ = false;
};

} // namespace qm
