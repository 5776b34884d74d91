#pragma once

// The archive's tables, versioned with PRAGMA user_version. Step i of kArchiveMigrations brings
// an archive of version i to version i + 1; a new version only ever adds a step.

#include <array>
#include <cstdint>
#include <string_view>

namespace qm {

constexpr std::array<std::string_view, 8> kArchiveMigrations = {
    // Version 1. Texts of the meter (model name, titles, notes) are Windows-1252 bytes as the
    // meter and the ".qmk" hold them. Times are seconds since 1970-01-01 UTC.
    R"sql(
CREATE TABLE visits (
    id INTEGER PRIMARY KEY,
    sha256 TEXT NOT NULL UNIQUE,
    received_utc INTEGER NOT NULL,
    utc_offset INTEGER NOT NULL,
    source_kind TEXT NOT NULL CHECK (source_kind IN ('download', 'file')),
    meter BLOB NOT NULL,
    reading_count INTEGER NOT NULL
);
CREATE INDEX visits_by_received ON visits (received_utc, id);
CREATE TABLE visit_sources (
    visit_id INTEGER PRIMARY KEY REFERENCES visits (id) ON DELETE CASCADE,
    bytes BLOB NOT NULL
);
CREATE TABLE jobs (
    visit_id INTEGER NOT NULL REFERENCES visits (id) ON DELETE CASCADE,
    kind TEXT NOT NULL CHECK (kind IN ('mc', 'rh')),
    number INTEGER NOT NULL CHECK (number BETWEEN 1 AND 5),
    job_id INTEGER NOT NULL,
    reading_count INTEGER NOT NULL,
    title BLOB NOT NULL DEFAULT x'',
    notes BLOB NOT NULL DEFAULT x'',
    PRIMARY KEY (visit_id, kind, number)
) WITHOUT ROWID;
CREATE TABLE readings (
    visit_id INTEGER NOT NULL REFERENCES visits (id) ON DELETE CASCADE,
    seq INTEGER NOT NULL,
    job INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    location INTEGER NOT NULL,
    sub_location INTEGER NOT NULL,
    material INTEGER NOT NULL,
    value REAL NOT NULL,
    temperature REAL,
    year INTEGER NOT NULL,
    month INTEGER NOT NULL,
    day INTEGER NOT NULL,
    hour_code INTEGER NOT NULL,
    minute INTEGER NOT NULL,
    clock_minute INTEGER NOT NULL,
    PRIMARY KEY (visit_id, seq)
) WITHOUT ROWID;
)sql",
    // Version 2: drying projects. Texts the user types (names, client, site, labels) are UTF-8;
    // dates are "YYYY-MM-DD". A point is its scale ('pin', 'scan' or 'air'), location (0..63),
    // sub-location (-1 for an RH/T point) and material name ('' for an RH/T point).
    R"sql(
CREATE TABLE projects (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE CHECK (trim(name) != ''),
    client TEXT NOT NULL DEFAULT '',
    site TEXT NOT NULL DEFAULT '',
    claim TEXT NOT NULL DEFAULT '',
    loss_date TEXT,
    category INTEGER CHECK (category BETWEEN 1 AND 3),
    class INTEGER CHECK (class BETWEEN 1 AND 4),
    notes TEXT NOT NULL DEFAULT ''
);
CREATE TABLE project_jobs (
    project_id INTEGER NOT NULL REFERENCES projects (id) ON DELETE CASCADE,
    visit_id INTEGER NOT NULL,
    kind TEXT NOT NULL,
    number INTEGER NOT NULL,
    PRIMARY KEY (project_id, visit_id, kind, number),
    FOREIGN KEY (visit_id, kind, number) REFERENCES jobs (visit_id, kind, number)
        ON DELETE CASCADE
) WITHOUT ROWID;
CREATE INDEX project_jobs_by_job ON project_jobs (visit_id, kind, number);
CREATE TABLE project_points (
    project_id INTEGER NOT NULL REFERENCES projects (id) ON DELETE CASCADE,
    scale TEXT NOT NULL CHECK (scale IN ('pin', 'scan', 'air')),
    location INTEGER NOT NULL CHECK (location BETWEEN 0 AND 63),
    sub_location INTEGER NOT NULL CHECK (sub_location BETWEEN -1 AND 2),
    material TEXT NOT NULL,
    label TEXT NOT NULL DEFAULT '',
    role TEXT CHECK (role IN ('affected', 'unaffected', 'outside', 'outlet', 'other')),
    PRIMARY KEY (project_id, scale, location, sub_location, material)
) WITHOUT ROWID;
CREATE TABLE project_standards (
    project_id INTEGER NOT NULL REFERENCES projects (id) ON DELETE CASCADE,
    scale TEXT NOT NULL CHECK (scale IN ('pin', 'scan')),
    location INTEGER NOT NULL CHECK (location BETWEEN -1 AND 63),
    sub_location INTEGER NOT NULL CHECK (sub_location BETWEEN -1 AND 2),
    material TEXT NOT NULL,
    value REAL,
    ref_scale TEXT CHECK (ref_scale IN ('pin', 'scan', 'air')),
    ref_location INTEGER,
    ref_sub_location INTEGER,
    ref_material TEXT,
    tolerance REAL,
    CHECK (value IS NULL OR ref_scale IS NULL),
    PRIMARY KEY (project_id, scale, location, sub_location, material)
) WITHOUT ROWID;
CREATE TABLE project_equipment (
    id INTEGER PRIMARY KEY,
    project_id INTEGER NOT NULL REFERENCES projects (id) ON DELETE CASCADE,
    type TEXT NOT NULL CHECK (type IN ('dehumidifier', 'air mover', 'heater', 'other')),
    count INTEGER NOT NULL,
    place TEXT NOT NULL DEFAULT '',
    placed TEXT NOT NULL,
    removed TEXT
);
CREATE INDEX project_equipment_by_project ON project_equipment (project_id, id);
CREATE TABLE project_legend (
    project_id INTEGER NOT NULL REFERENCES projects (id) ON DELETE CASCADE,
    code TEXT NOT NULL,
    name TEXT NOT NULL,
    PRIMARY KEY (project_id, code)
) WITHOUT ROWID;
)sql",
    // Version 3: what this archive last agreed with the team server. sync_projects holds, per
    // server project (its key), the local project (NULL once it is deleted here, until the
    // deletion reaches the server), the server's revision, the name and each part as last synced,
    // as its text (project_parts.h; the details of a row of an earlier run in the columns
    // client..notes, with details NULL). sync_titles holds each
    // job's titles and notes as last synced and the server's revision of them; sync_pulling the
    // visits whose pull has not finished. Archives of an earlier run may hold sync_projects (of
    // the details and jobs alone, removed with their project) and sync_pulling already: their
    // rows are kept.
    R"sql(
CREATE TABLE IF NOT EXISTS sync_projects (
    project INTEGER PRIMARY KEY,
    key TEXT NOT NULL UNIQUE,
    revision INTEGER NOT NULL,
    name TEXT NOT NULL, client TEXT NOT NULL, site TEXT NOT NULL, claim TEXT NOT NULL,
    loss_date INTEGER, category INTEGER, water_class INTEGER, notes TEXT NOT NULL,
    jobs TEXT NOT NULL
);
CREATE TABLE sync_projects_3 (
    key TEXT PRIMARY KEY,
    project INTEGER UNIQUE REFERENCES projects (id) ON DELETE SET NULL,
    revision INTEGER NOT NULL,
    name TEXT NOT NULL,
    details TEXT,
    client TEXT, site TEXT, claim TEXT, loss_date INTEGER, category INTEGER,
    water_class INTEGER, notes TEXT,
    jobs TEXT NOT NULL DEFAULT '',
    points TEXT NOT NULL DEFAULT '',
    standards TEXT NOT NULL DEFAULT '',
    equipment TEXT NOT NULL DEFAULT '',
    legend TEXT NOT NULL DEFAULT ''
);
INSERT INTO sync_projects_3 (key, project, revision, name, client, site, claim, loss_date,
    category, water_class, notes, jobs)
    SELECT key, project, revision, name, client, site, claim, loss_date, category, water_class,
        notes, jobs FROM sync_projects WHERE project IN (SELECT id FROM projects);
DROP TABLE sync_projects;
ALTER TABLE sync_projects_3 RENAME TO sync_projects;
CREATE TABLE sync_titles (
    sha256 TEXT NOT NULL,
    kind TEXT NOT NULL,
    number INTEGER NOT NULL,
    revision INTEGER NOT NULL,
    title BLOB NOT NULL,
    notes BLOB NOT NULL,
    PRIMARY KEY (sha256, kind, number)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS sync_pulling (sha256 TEXT PRIMARY KEY);
)sql",
    // Version 4: a visit deleted here stays deleted here. A project's attached jobs are kept by
    // their visit's SHA-256, so deleting a visit leaves them attached (the team still holds the
    // visit) and bringing its bytes back shows them again; deleted_visits marks the visits
    // deleted here, which a sync does not bring back.
    R"sql(
CREATE TABLE project_jobs_4 (
    project_id INTEGER NOT NULL REFERENCES projects (id) ON DELETE CASCADE,
    sha256 TEXT NOT NULL,
    kind TEXT NOT NULL CHECK (kind IN ('mc', 'rh')),
    number INTEGER NOT NULL CHECK (number BETWEEN 1 AND 5),
    PRIMARY KEY (project_id, sha256, kind, number)
) WITHOUT ROWID;
INSERT INTO project_jobs_4 (project_id, sha256, kind, number)
    SELECT j.project_id, v.sha256, j.kind, j.number FROM project_jobs j
    JOIN visits v ON v.id = j.visit_id;
DROP TABLE project_jobs;
ALTER TABLE project_jobs_4 RENAME TO project_jobs;
CREATE INDEX project_jobs_by_job ON project_jobs (sha256, kind, number);
CREATE TABLE deleted_visits (sha256 TEXT PRIMARY KEY) WITHOUT ROWID;
)sql",
    // Version 5: removed materials, planned points and equipment units. A point whose material
    // was removed has the day (removed_on, "YYYY-MM-DD") and a reason; a planned point was added
    // before it was read. An equipment entry may name its unit (ID or serial), model and rated
    // capacity (a dehumidifier's pints per day under AHAM, an air mover's CFM).
    R"sql(
ALTER TABLE project_points ADD COLUMN removed_on TEXT;
ALTER TABLE project_points ADD COLUMN removed_reason TEXT NOT NULL DEFAULT '';
ALTER TABLE project_points ADD COLUMN planned INTEGER NOT NULL DEFAULT 0;
ALTER TABLE project_equipment ADD COLUMN unit TEXT NOT NULL DEFAULT '';
ALTER TABLE project_equipment ADD COLUMN model TEXT NOT NULL DEFAULT '';
ALTER TABLE project_equipment ADD COLUMN capacity REAL;
)sql",
    // Version 6: photos. A photo's bytes are a file beside the archive named by their SHA-256
    // (src/photos); photos holds what they say (taken_at "YYYY-MM-DDTHH:MM:SS" of the camera's
    // clock, EXIF orientation 1..8, pixels as stored) and project_photos where each project
    // attaches one: to the project, a point (its text, "KIT,W/Plaster"), a day ("YYYY-MM-DD")
    // or a visit (its SHA-256), with a caption (UTF-8); sync_projects keeps the photos part of
    // each project as last synced (src/sync/project_parts.h).
    R"sql(
CREATE TABLE photos (
    sha256 TEXT PRIMARY KEY,
    bytes INTEGER NOT NULL,
    taken_at TEXT,
    orientation INTEGER NOT NULL DEFAULT 1 CHECK (orientation BETWEEN 1 AND 8),
    width INTEGER NOT NULL,
    height INTEGER NOT NULL
) WITHOUT ROWID;
CREATE TABLE project_photos (
    project_id INTEGER NOT NULL REFERENCES projects (id) ON DELETE CASCADE,
    sha256 TEXT NOT NULL REFERENCES photos (sha256),
    point TEXT,
    day TEXT,
    visit TEXT,
    caption TEXT NOT NULL DEFAULT '',
    PRIMARY KEY (project_id, sha256)
) WITHOUT ROWID;
CREATE INDEX project_photos_by_photo ON project_photos (sha256);
ALTER TABLE sync_projects ADD COLUMN photos TEXT NOT NULL DEFAULT '';
)sql",
    // Version 7: floor plans of a project. Coordinates are on the plan's sheet (pixels of its
    // underlay image, or plan units on an empty sheet); the scale says how many plan units
    // ('ft' or 'm') the marked line from (scale_x1, scale_y1) to (scale_x2, scale_y2) is long. An
    // underlay's bytes lie beside the archive, named by their SHA-256. A room's outline is its
    // corners "x,y x,y ...", in order; rooms keep the order they were drawn in (id). A point has
    // one place, on one plan of its project.
    R"sql(
CREATE TABLE project_plans (
    project_id INTEGER NOT NULL REFERENCES projects (id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE CHECK (trim(name) != ''),
    units TEXT NOT NULL CHECK (units IN ('ft', 'm')),
    underlay_sha256 TEXT,
    underlay_type TEXT CHECK (underlay_type IN ('image/png', 'image/jpeg')),
    underlay_width INTEGER,
    underlay_height INTEGER,
    scale_x1 REAL, scale_y1 REAL, scale_x2 REAL, scale_y2 REAL,
    scale_length REAL CHECK (scale_length > 0),
    PRIMARY KEY (project_id, name)
) WITHOUT ROWID;
CREATE TABLE plan_rooms (
    id INTEGER PRIMARY KEY,
    project_id INTEGER NOT NULL,
    plan TEXT NOT NULL COLLATE NOCASE,
    name TEXT NOT NULL COLLATE NOCASE CHECK (trim(name) != ''),
    outline TEXT NOT NULL,
    height REAL CHECK (height > 0),
    UNIQUE (project_id, plan, name),
    FOREIGN KEY (project_id, plan) REFERENCES project_plans (project_id, name)
        ON DELETE CASCADE ON UPDATE CASCADE
);
CREATE TABLE plan_points (
    project_id INTEGER NOT NULL,
    scale TEXT NOT NULL CHECK (scale IN ('pin', 'scan', 'air')),
    location INTEGER NOT NULL CHECK (location BETWEEN 0 AND 63),
    sub_location INTEGER NOT NULL CHECK (sub_location BETWEEN -1 AND 2),
    material TEXT NOT NULL,
    plan TEXT NOT NULL COLLATE NOCASE,
    x REAL NOT NULL,
    y REAL NOT NULL,
    PRIMARY KEY (project_id, scale, location, sub_location, material),
    FOREIGN KEY (project_id, plan) REFERENCES project_plans (project_id, name)
        ON DELETE CASCADE ON UPDATE CASCADE
) WITHOUT ROWID;
CREATE INDEX plan_points_by_plan ON plan_points (project_id, plan);
)sql",
    // Version 8: who read a visit, with which meter, and its calibration check, beside its
    // immutable bytes and keyed by their SHA-256 (so a row outlives the visit's deletion here and
    // may arrive before its visit). Texts are UTF-8; check_on is "YYYY-MM-DD"; check_kind 'pin'
    // is a reference block, 'pinless' a reference pad. user_meters are the meters the user named;
    // sync_evidence holds each visit's row as last synced (its text) and the server's revision.
    R"sql(
CREATE TABLE visit_evidence (
    sha256 TEXT PRIMARY KEY,
    technician TEXT NOT NULL DEFAULT '',
    meter_name TEXT NOT NULL DEFAULT '',
    meter_serial TEXT NOT NULL DEFAULT '',
    check_kind TEXT CHECK (check_kind IN ('pin', 'pinless')),
    check_read REAL,
    check_expected REAL,
    check_on TEXT,
    CHECK ((check_kind IS NULL) = (check_read IS NULL)
        AND (check_kind IS NULL) = (check_expected IS NULL))
) WITHOUT ROWID;
CREATE TABLE user_meters (
    name TEXT PRIMARY KEY COLLATE NOCASE CHECK (trim(name) != ''),
    serial TEXT NOT NULL DEFAULT '',
    model TEXT NOT NULL DEFAULT ''
);
CREATE TABLE sync_evidence (
    sha256 TEXT PRIMARY KEY,
    revision INTEGER NOT NULL,
    evidence TEXT NOT NULL
) WITHOUT ROWID;
)sql",
};

constexpr std::int64_t kArchiveSchemaVersion = kArchiveMigrations.size();

} // namespace qm
