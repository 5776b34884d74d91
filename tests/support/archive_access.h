#pragma once

// The archive's connection, for fixtures that lay rows down or damage them by hand as another
// program or a failing disk would.

#include "archive/visit_archive.h"

namespace qm::test {

struct ArchiveAccess {
    static SqliteDb& db(VisitArchive& archive) { return archive.connection(ArchiveTablesKey{}); }
};

inline SqliteDb& archive_db(VisitArchive& archive) {
    return ArchiveAccess::db(archive);
}

} // namespace qm::test
