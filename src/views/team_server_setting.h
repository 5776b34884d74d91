#pragma once

// The team server's address as this computer keeps it ("quellmark/sync.ini"); never a password.

#include <QString>

namespace qm {

// The address set under File > Team Server...; empty when none is (QUELLMARK_SERVER then).
QString team_server_setting();
void set_team_server_setting(const QString& server);

} // namespace qm
