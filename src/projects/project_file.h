#pragma once

// The project file: one file that holds a drying project and the source bytes of its visits, so
// that the project moves to another machine whole (`qmtool project export` / `import`).
//
// The file is lines of fields separated by tabs, ending in LF; in a field a backslash, tab, LF
// and CR are written "\\", "\t", "\n" and "\r". Its first line is the magic and version,
// "QUELLMARK PROJECT<TAB>1". Then, in this order:
//   project  NAME CLIENT SITE CLAIM LOSS_DATE CATEGORY CLASS NOTES   (empty fields for none)
//   visit    SOURCE RECEIVED_UTC UTC_OFFSET SHA256 LENGTH, then LENGTH bytes of the source and LF
//   title    VISIT KIND NUMBER TITLE NOTES                            (the visit's jobs)
//   job      VISIT KIND NUMBER                                        (the attached jobs)
//   point    POINT LABEL ROLE
//   material SCALE MATERIAL VALUE REFERENCE TOLERANCE
//   standard POINT VALUE REFERENCE TOLERANCE
//   equipment TYPE COUNT PLACE PLACED REMOVED
//   legend   CODE NAME
//   end
// VISIT counts the file's visits from 0; SOURCE is "download" or "file", KIND "mc" or "rh",
// POINT and REFERENCE as `qmtool project` writes a point, dates YYYY-MM-DD, numbers in C
// notation. Titles and notes are the meter's Windows-1252 bytes, every other text UTF-8.

#include "archive/visit_archive.h"
#include "projects/project_store.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qm {

constexpr std::string_view kProjectFileMagic = "QUELLMARK PROJECT";
constexpr int kProjectFileVersion = 1;
// Project files above this size are refused.
constexpr std::size_t kMaxProjectFileBytes = std::size_t{1} << 30;

struct PackagedVisit {
    VisitSource source = VisitSource::Download;
    ReceivedTime received;
    std::vector<std::uint8_t> bytes;
    std::vector<ArchivedJob> jobs; // kind, number, title and notes of each job
};

// A project as the file holds it: its jobs name visits by their place in `visits`.
struct ProjectPackage {
    ProjectRecord record;
    std::vector<PackagedVisit> visits;
};

std::vector<std::uint8_t> encode_project_file(const ProjectPackage& package);
// False with a reason for the user when the bytes are no project file of a known version or are
// damaged (a visit whose bytes do not match its SHA-256, a file cut short).
bool decode_project_file(std::span<const std::uint8_t> bytes, ProjectPackage& package,
                         std::string& error);

// The package of a stored project. False with a reason when a visit's bytes cannot be read.
bool package_project(ProjectStore& store, VisitArchive& archive, std::int64_t project,
                     ProjectPackage& package, std::string& error);

// Adds the package's visits to the archive (a visit already there is kept as it is, with its
// titles and notes) and creates the project under `name` (the package's own name when empty).
// Refuses a name the archive already has before anything is written. Nothing on failure, with
// the reason in `error`.
std::optional<std::int64_t> import_project(ProjectStore& store, VisitArchive& archive,
                                           const ProjectPackage& package, const std::string& name,
                                           std::string& error);

} // namespace qm
