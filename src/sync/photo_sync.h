#pragma once

// The photos of the team's projects on the server: each photo's bytes once in photo_bytes, by
// their SHA-256 (which the server checks), and each project's photos in project_photos.

#include "archive/visit_archive.h"
#include "sync/pg_db.h"
#include "sync/project_parts.h"

#include <string>
#include <vector>

namespace qm {

// Writes the photos part of `parts` to the server's project `key` (inside the caller's
// transaction, its rows cleared already): first the bytes of each photo the server does not
// hold yet, read from parts.photo_folder, then a row per photo.
bool write_server_photos(PgDb& db, const std::string& key, const ProjectParts& parts);

// Brings the bytes of the photos of `theirs` that this archive does not hold from the server,
// each checked against its SHA-256 and read as a photo, as a local file is; a photo that fails is
// left out and said in `skipped`. False when the server or the archive fails (`error`).
bool pull_photo_bytes(PgDb& db, VisitArchive& archive, const ProjectParts& theirs,
                      std::vector<std::string>& skipped, std::string& error);

} // namespace qm
