#pragma once

// The laptop's bookkeeping of the team's projects (sync_projects): which server project each
// local one is, the server's revision and each part as last synced. A row whose project is NULL
// is a project deleted here whose deletion has not reached the server yet.

#include "archive/sqlite_db.h"
#include "sync/project_parts.h"

#include <optional>
#include <string>
#include <vector>

namespace qm {

struct Link {
    std::string key;
    std::optional<std::int64_t> project; // nothing: deleted here
    std::int64_t revision = 0;
    std::string name; // the project's name as last synced
    PartTexts base;
};

class Links {
public:
    explicit Links(SqliteDb& db) : db_(db) {}

    std::vector<Link> all(); // by key; ok() says whether they could be read
    bool ok() const { return ok_; }
    const std::string& error() const { return db_.error(); }
    bool set(const Link& link); // adds or replaces the link of link.key (and of link.project)
    bool remove(const std::string& key);

private:
    SqliteDb& db_;
    bool ok_ = true;
};

} // namespace qm
