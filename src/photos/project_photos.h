#pragma once

// The photos of drying projects: each photo's bytes in the photo folder beside the archive
// (photo_files.h), what they say in the archive's photos table, and where each project attaches
// it in project_photos. Every change is one transaction; a read is a value or an error.

#include "archive/visit_archive.h"
#include "photos/photo_facts.h"
#include "photos/photo_files.h"
#include "store/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qm {

// What a photo is attached to besides its project, and its caption. Texts are UTF-8.
struct PhotoPlace {
    std::optional<std::string> point; // a point's text ("KIT,W/Plaster")
    std::optional<std::string> day;   // "YYYY-MM-DD"
    std::optional<std::string> visit; // a visit's SHA-256
    std::string caption;
    bool operator==(const PhotoPlace&) const = default;
};

// A photo as a project holds it.
struct ProjectPhoto {
    std::string sha256;
    std::int64_t bytes = 0;
    PhotoFacts facts;
    PhotoPlace place;
};

enum class PhotoAttached {
    Attached,        // newly attached to the project
    AlreadyAttached, // the project held these bytes already; nothing changed
};

// "9f86d081…", the first 8 hex digits of a SHA-256, as reports and lists show it.
std::string short_sha256(const std::string& sha256);

class ProjectPhotos {
public:
    // The photos of `archive`, their bytes in the photo folder beside it.
    explicit ProjectPhotos(VisitArchive& archive);

    const PhotoFiles& files() const { return files_; }

    // Attaches a photo read once from its file: its facts are read from the same bytes, which
    // are stored (once for the whole archive) before the row is written. A failure names the
    // file: not a photo, damaged, or the photo folder or the archive could not be written.
    Result<PhotoAttached> attach(std::int64_t project, const PhotoBytes& photo,
                                 const PhotoPlace& place);
    // attach() for bytes whose facts are read already.
    Result<PhotoAttached> attach(std::int64_t project, const PhotoBytes& photo,
                                 const PhotoFacts& facts, const PhotoPlace& place);
    // The project's photos by day (a photo's own day, else the day it was taken), then by time.
    Result<std::vector<ProjectPhoto>> list(std::int64_t project);
    // The SHA-256 of the project's photo that `prefix` (at least 4 hex digits) begins; a failure
    // when none or several do.
    Result<std::string> resolve(std::int64_t project, const std::string& prefix);
    Status set_caption(std::int64_t project, const std::string& sha256, const std::string& caption);
    // Detaches a photo; its bytes are removed when no project holds it any more.
    Status detach(std::int64_t project, const std::string& sha256);
    // Removes the photos no project holds (left by a deleted project), rows and bytes.
    Status prune();
    // Keeps a photo's bytes and facts without attaching it (a photo pulled from the team server
    // before a project takes it); a photo kept already stays as it is.
    Status keep(const PhotoBytes& photo, const PhotoFacts& facts);
    // Whether the archive holds the photo's row (and so its bytes).
    Result<bool> holds(const std::string& sha256);
    // Makes `places` (by SHA-256) the project's photos, all or none; photos the archive does not
    // hold are left out.
    Status replace_places(std::int64_t project,
                          const std::vector<std::pair<std::string, PhotoPlace>>& places);

private:
    Status writable() const;

    VisitArchive& archive_;
    SqliteDb& db_;
    PhotoFiles files_;
};

} // namespace qm
