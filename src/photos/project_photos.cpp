#include "photos/project_photos.h"

#include <cctype>

namespace qm {

namespace {

void bind_optional(SqliteStatement& s, int index, const std::optional<std::string>& text) {
    if (text) {
        s.bind_text(index, *text);
    } else {
        s.bind_null(index);
    }
}

std::optional<std::string> optional_text(const SqliteStatement& s, int column) {
    return s.column_is_null(column) ? std::nullopt : std::optional(s.column_text(column));
}

bool is_hex(const std::string& text) {
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0 ||
            std::isupper(static_cast<unsigned char>(c)) != 0) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string short_sha256(const std::string& sha256) {
    return sha256.substr(0, 8);
}

ProjectPhotos::ProjectPhotos(VisitArchive& archive)
    : archive_(archive), db_(archive.connection({})), files_(photo_folder_of(archive.path())) {}

Status ProjectPhotos::writable() const {
    if (archive_.read_only()) {
        return failure("the archive " + archive_.path() +
                       " is open read-only: nothing can be changed");
    }
    return done();
}

Result<PhotoAttached> ProjectPhotos::attach(std::int64_t project, const PhotoBytes& photo,
                                            const PhotoPlace& place) {
    const Result<PhotoFacts> facts = read_photo_facts(photo.bytes);
    if (!facts) {
        return failure(photo.name + " is " + facts.error());
    }
    return attach(project, photo, *facts, place);
}

Status ProjectPhotos::keep(const PhotoBytes& photo, const PhotoFacts& facts) {
    if (Status w = writable(); !w) {
        return w;
    }
    // The bytes go first, so that no row ever names a photo whose file is not there.
    if (Status put = files_.put(photo.sha256, photo.bytes); !put) {
        return failure(photo.name + " was not kept. " + put.error());
    }
    SqliteStatement insert(
        db_, "INSERT INTO photos (sha256, bytes, taken_at, orientation, width, height) "
             "VALUES (?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT (sha256) DO NOTHING");
    insert.bind_text(1, photo.sha256).bind(2, static_cast<std::int64_t>(photo.bytes.size()));
    bind_optional(insert, 3, facts.taken_at);
    insert.bind(4, std::int64_t{facts.orientation}).bind(5, std::int64_t{facts.width});
    insert.bind(6, std::int64_t{facts.height});
    if (!insert.run()) {
        return failure(photo.name + " was not kept: " + db_.error());
    }
    return done();
}

Result<PhotoAttached> ProjectPhotos::attach(std::int64_t project, const PhotoBytes& photo,
                                            const PhotoFacts& facts, const PhotoPlace& place) {
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) {
        return failure(photo.name + " was not attached: " + db_.error());
    }
    if (Status kept = keep(photo, facts); !kept) {
        return failure(kept.error());
    }
    SqliteStatement insert(db_, "INSERT INTO project_photos (project_id, sha256, point, day, "
                                "visit, caption) VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
                                "ON CONFLICT (project_id, sha256) DO NOTHING");
    insert.bind(1, project).bind_text(2, photo.sha256);
    bind_optional(insert, 3, place.point);
    bind_optional(insert, 4, place.day);
    bind_optional(insert, 5, place.visit);
    insert.bind_text(6, place.caption);
    if (!insert.run()) {
        return failure(photo.name + " was not attached: " + db_.error());
    }
    const bool added = db_.changes() == 1;
    if (!transaction.commit()) {
        return failure(photo.name + " was not attached: " + db_.error());
    }
    return added ? PhotoAttached::Attached : PhotoAttached::AlreadyAttached;
}

Result<bool> ProjectPhotos::holds(const std::string& sha256) {
    SqliteStatement select(db_, "SELECT 1 FROM photos WHERE sha256 = ?1");
    const bool found = select.bind_text(1, sha256).step();
    if (select.failed() || !select.ok()) {
        return failure("the photos cannot be read from the archive: " + db_.error());
    }
    return found;
}

Status
ProjectPhotos::replace_places(std::int64_t project,
                              const std::vector<std::pair<std::string, PhotoPlace>>& places) {
    if (Status w = writable(); !w) {
        return w;
    }
    SqliteTransaction transaction(db_);
    SqliteStatement clear(db_, "DELETE FROM project_photos WHERE project_id = ?1");
    if (!transaction.begun() || !clear.bind(1, project).run()) {
        return failure("the photos were not written: " + db_.error());
    }
    SqliteStatement insert(db_, "INSERT OR IGNORE INTO project_photos (project_id, sha256, "
                                "point, day, visit, caption) SELECT ?1, ?2, ?3, ?4, ?5, ?6 "
                                "WHERE EXISTS (SELECT 1 FROM photos WHERE sha256 = ?2)");
    for (const auto& [sha, place] : places) {
        insert.reset();
        insert.bind(1, project).bind_text(2, sha);
        bind_optional(insert, 3, place.point);
        bind_optional(insert, 4, place.day);
        bind_optional(insert, 5, place.visit);
        insert.bind_text(6, place.caption);
        if (!insert.run()) {
            return failure("the photos were not written: " + db_.error());
        }
    }
    return transaction.commit() ? done() : failure("the photos were not written: " + db_.error());
}

Result<std::vector<ProjectPhoto>> ProjectPhotos::list(std::int64_t project) {
    SqliteStatement select(
        db_, "SELECT p.sha256, p.bytes, p.taken_at, p.orientation, p.width, p.height, j.point, "
             "j.day, j.visit, j.caption FROM project_photos j JOIN photos p USING (sha256) "
             "WHERE j.project_id = ?1 ORDER BY coalesce(j.day, substr(p.taken_at, 1, 10)) "
             "IS NULL, coalesce(j.day, substr(p.taken_at, 1, 10)), p.taken_at, p.sha256");
    select.bind(1, project);
    std::vector<ProjectPhoto> photos;
    while (select.step()) {
        ProjectPhoto p;
        p.sha256 = select.column_text(0);
        p.bytes = select.column_int(1);
        p.facts.taken_at = optional_text(select, 2);
        p.facts.orientation = static_cast<int>(select.column_int(3));
        p.facts.width = static_cast<std::int32_t>(select.column_int(4));
        p.facts.height = static_cast<std::int32_t>(select.column_int(5));
        p.place = {optional_text(select, 6), optional_text(select, 7), optional_text(select, 8),
                   select.column_text(9)};
        photos.push_back(std::move(p));
    }
    if (select.failed() || !select.ok()) {
        return failure("the photos cannot be read from the archive: " + db_.error());
    }
    return photos;
}

Result<std::string> ProjectPhotos::resolve(std::int64_t project, const std::string& prefix) {
    if (prefix.size() < 4 || prefix.size() > 64 || !is_hex(prefix)) {
        return failure("a photo is named by its SHA-256 or its first digits (at least 4, "
                       "lowercase): " +
                       prefix);
    }
    SqliteStatement select(db_, "SELECT sha256 FROM project_photos WHERE project_id = ?1 AND "
                                "substr(sha256, 1, ?2) = ?3 LIMIT 2");
    select.bind(1, project).bind(2, static_cast<std::int64_t>(prefix.size()));
    select.bind_text(3, prefix);
    std::vector<std::string> found;
    while (select.step()) {
        found.push_back(select.column_text(0));
    }
    if (select.failed() || !select.ok()) {
        return failure("the photos cannot be read from the archive: " + db_.error());
    }
    if (found.size() != 1) {
        return failure(found.empty() ? "the project has no photo " + prefix
                                     : "several photos of the project begin " + prefix);
    }
    return found.front();
}

Status ProjectPhotos::set_caption(std::int64_t project, const std::string& sha256,
                                  const std::string& caption) {
    if (Status w = writable(); !w) {
        return w;
    }
    SqliteStatement update(db_, "UPDATE project_photos SET caption = ?3 WHERE project_id = ?1 "
                                "AND sha256 = ?2");
    update.bind(1, project).bind_text(2, sha256).bind_text(3, caption);
    if (!update.run()) {
        return failure("the caption was not changed: " + db_.error());
    }
    return db_.changes() == 1 ? done() : failure("the project has no photo " + sha256);
}

Status ProjectPhotos::detach(std::int64_t project, const std::string& sha256) {
    if (Status w = writable(); !w) {
        return w;
    }
    SqliteTransaction transaction(db_);
    SqliteStatement remove(db_, "DELETE FROM project_photos WHERE project_id = ?1 AND sha256 = ?2");
    SqliteStatement unused(db_, "DELETE FROM photos WHERE sha256 = ?1 AND NOT EXISTS "
                                "(SELECT 1 FROM project_photos WHERE sha256 = ?1)");
    if (!transaction.begun() || !remove.bind(1, project).bind_text(2, sha256).run()) {
        return failure("the photo was not removed: " + db_.error());
    }
    if (db_.changes() != 1) {
        return failure("the project has no photo " + sha256);
    }
    if (!unused.bind_text(1, sha256).run()) {
        return failure("the photo was not removed: " + db_.error());
    }
    const bool last = db_.changes() == 1;
    if (!transaction.commit()) {
        return failure("the photo was not removed: " + db_.error());
    }
    return last ? files_.remove(sha256) : done();
}

Status ProjectPhotos::prune() {
    if (Status w = writable(); !w) {
        return w;
    }
    std::vector<std::string> unused;
    {
        SqliteTransaction transaction(db_);
        SqliteStatement select(db_, "SELECT sha256 FROM photos WHERE sha256 NOT IN "
                                    "(SELECT sha256 FROM project_photos)");
        while (select.step()) {
            unused.push_back(select.column_text(0));
        }
        SqliteStatement remove(db_, "DELETE FROM photos WHERE sha256 NOT IN "
                                    "(SELECT sha256 FROM project_photos)");
        if (!transaction.begun() || select.failed() || !select.ok() || !remove.run() ||
            !transaction.commit()) {
            return failure("the photos no project holds were not removed: " + db_.error());
        }
    }
    for (const std::string& sha : unused) {
        if (Status removed = files_.remove(sha); !removed) {
            return removed;
        }
    }
    return done();
}

} // namespace qm
