#pragma once

// Visits deleted here: a mark by SHA-256 that keeps a deleted visit out of this archive when the
// team still holds it. The team sync brings back no marked visit; adding the same bytes again
// (a download, a file opened, `qmtool archive add`) clears the mark.

#include "archive/sqlite_db.h"
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// Marks the visit `id` deleted here, inside the caller's transaction; nothing when there is no
// such visit.
bool mark_visit_deleted(SqliteDb& db, std::int64_t id);

// Clears the mark of the visit of `sha256`, inside the caller's transaction.
bool clear_visit_deleted(SqliteDb& db, std::string_view sha256);

} // namespace qm
