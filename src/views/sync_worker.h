#pragma once

// One sync on a thread of its own behind the wait dialog.

#include "sync/sync_session.h"
#include "ui/layout_metrics.h"

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace qm {

class WaitDialog;

// Asked on the window thread, with the wait dialog as parent, when the server wants a password:
// the password, or nothing when the user cancelled. `refusal` as PasswordAsker has it.
using SyncPasswordQuestion = std::function<std::optional<std::string>(
    QWidget* parent, const std::string& server, const std::string& refusal)>;

// Runs one sync while the wait dialog over `owner` shows its progress and its Cancel stops it
// between visits; the windows keep repainting. `ask` is asked when the server refuses
// `password` or wants one and none is held; a password typed is kept there. `waiting` is called
// once the dialog shows.
SyncOutcome run_sync_waiting(const LayoutMetrics& metrics, QWidget* owner,
                             const SyncRequest& request, const RefusedChoices& choices,
                             const SyncPasswordQuestion& ask, SyncPassword& password,
                             const std::function<void(WaitDialog&)>& waiting);

} // namespace qm
