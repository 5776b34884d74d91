#pragma once

// The team server's password box.

#include <QString>

#include <optional>
#include <string>

class QWidget;

namespace qm {

// Asks for the password of `server`; `refusal` (empty at the first ask) says why the last one was
// not taken. The password as UTF-8, on the heap and with room to spare, so that handing it on
// leaves no copy behind; nothing when cancelled. The box's own copies are wiped.
std::optional<std::string> password_dialog(QWidget* parent, const QString& server,
                                           const QString& refusal);

} // namespace qm
