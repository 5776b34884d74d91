#include "archive/visit_deletions.h"

#include "archive/visit_archive.h"

namespace qm {

bool mark_visit_deleted(SqliteDb& db, std::int64_t id) {
    SqliteStatement mark(db, "INSERT OR IGNORE INTO deleted_visits (sha256) "
                             "SELECT sha256 FROM visits WHERE id = ?1");
    return mark.bind(1, id).run();
}

bool clear_visit_deleted(SqliteDb& db, std::string_view sha256) {
    SqliteStatement clear(db, "DELETE FROM deleted_visits WHERE sha256 = ?1");
    return clear.bind_text(1, sha256).run();
}

Result<std::set<std::string>> VisitArchive::deleted_visits() {
    std::set<std::string> out;
    SqliteStatement query(db_, "SELECT sha256 FROM deleted_visits");
    while (query.step()) {
        out.insert(query.column_text(0));
    }
    if (!query.ok() || query.failed()) {
        return failure("the visits deleted here cannot be read: " + db_.error());
    }
    return out;
}

} // namespace qm
