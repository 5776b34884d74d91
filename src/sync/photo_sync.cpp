#include "sync/photo_sync.h"

#include "archive/sha256.h"
#include "photos/photo_facts.h"
#include "photos/project_photos.h"

namespace qm {

namespace {

PgParam optional_text(const std::optional<std::string>& text) {
    return text ? PgParam::text(*text) : PgParam::null();
}

} // namespace

bool write_server_photos(PgDb& db, const std::string& key, const ProjectParts& parts) {
    const PhotoFiles files(parts.photo_folder);
    for (const auto& [sha, place] : parts.photos) {
        const PgParam which = PgParam::text(sha);
        const auto held =
            db.query("SELECT 1 FROM photo_bytes WHERE sha256 = $1", std::span(&which, 1));
        if (!held) {
            return false;
        }
        // Bytes are pushed once: a photo the server holds (from any project) is not sent again.
        // A photo whose bytes are gone or damaged here is not sent; the archive's check and the
        // report say so.
        if (held->rows() == 0) {
            const Result<std::vector<std::uint8_t>> bytes =
                parts.photo_folder.empty() ? Result<std::vector<std::uint8_t>>(damage("none"))
                                           : files.read(sha);
            if (!bytes) {
                continue;
            }
            const PgParam row[] = {which, PgParam::bytes(*bytes)};
            if (!db.query("INSERT INTO photo_bytes (sha256, bytes) VALUES ($1, $2) "
                          "ON CONFLICT (sha256) DO NOTHING",
                          row)) {
                return false;
            }
        }
        const PgParam row[] = {PgParam::text(key),         which,
                               optional_text(place.point), optional_text(place.day),
                               optional_text(place.visit), PgParam::text(place.caption)};
        if (!db.query("INSERT INTO project_photos (project, sha256, point, day, visit, caption) "
                      "VALUES ($1, $2, $3, $4, $5, $6)",
                      row)) {
            return false;
        }
    }
    return true;
}

bool pull_photo_bytes(PgDb& db, VisitArchive& archive, const ProjectParts& theirs,
                      std::vector<std::string>& skipped, std::string& error) {
    ProjectPhotos photos(archive);
    for (const auto& [sha, place] : theirs.photos) {
        const Result<bool> here = photos.holds(sha);
        if (!here) {
            error = here.error();
            return false;
        }
        if (*here) {
            continue;
        }
        const PgParam which = PgParam::text(sha);
        const auto row =
            db.query("SELECT bytes FROM photo_bytes WHERE sha256 = $1", std::span(&which, 1), true);
        if (!row) {
            error = db.error();
            return false;
        }
        PhotoBytes photo;
        photo.name = "The photo " + short_sha256(sha) + " of the server";
        if (row->rows() == 1) {
            const std::string bytes = row->text(0, 0);
            photo.bytes.assign(bytes.begin(), bytes.end());
        }
        photo.sha256 = sha256_hex(photo.bytes);
        const Result<PhotoFacts> facts = read_photo_facts(photo.bytes);
        if (row->rows() != 1 || photo.sha256 != sha || !facts) {
            skipped.push_back(photo.name + " was left out: " +
                              (row->rows() != 1 ? std::string("its bytes are not there")
                               : photo.sha256 != sha
                                   ? std::string("its bytes do not match its SHA-256")
                                   : "it is " + facts.error()));
            continue;
        }
        if (const Status kept = photos.keep(photo, *facts); !kept) {
            error = kept.error();
            return false;
        }
    }
    return true;
}

} // namespace qm
