#pragma once

// The team server's schema: created and brought forward by `qmtool server init`, its version
// kept on the server in schema_version.

#include "sync/pg_db.h"

#include <string>

namespace qm {

constexpr int kServerSchemaVersion = 6;

// Creates the schema or brings it to kServerSchemaVersion (or the older `to_version`), in one
// transaction. A server of a newer schema is left as it is (false, error says so).
bool migrate_server(PgDb& db, std::string& error, int to_version = kServerSchemaVersion);

// The schema version the server holds: 0 when it has none yet, nothing when it cannot be read.
std::optional<int> server_schema_version(PgDb& db);

// The SQL that creates the two roles of a team: quellmark_technician (adds visits, edits and
// deletes projects, edits jobs' titles and notes, never deletes or changes a visit otherwise) and
// quellmark_admin (may also delete visits), both without login;
// users are made members of one of them ("GRANT quellmark_technician TO anna").
std::string roles_sql();

} // namespace qm
