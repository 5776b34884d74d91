#pragma once

// File > Team Server...: the box the team server's address is typed in.

#include <QString>

#include <optional>

class QWidget;

namespace qm {

// The prompt of the address box: what to type, with an example, and that no password goes there.
extern const char* const kServerAddressPrompt;

// Asks for the team server's address, `current` filled in; the address typed (trimmed, empty
// for none), nothing when cancelled.
std::optional<QString> server_address_dialog(QWidget* parent, const QString& current);

} // namespace qm
