#include "sync/server_schema.h"

#include <algorithm>
#include <array>

namespace qm {

namespace {

// One entry per version: the SQL that brings version i to version i + 1.
constexpr std::array<const char*, kServerSchemaVersion> kMigrations = {
    R"sql(
CREATE TABLE visits (
    sha256 text PRIMARY KEY CHECK (sha256 ~ '^[0-9a-f]{64}$'),
    received_utc bigint NOT NULL,
    received_offset integer NOT NULL,
    source text NOT NULL CHECK (source IN ('download', 'file')),
    meter bytea NOT NULL,
    readings bigint NOT NULL CHECK (readings >= 0),
    source_bytes bytea NOT NULL,
    pushed_at timestamptz NOT NULL DEFAULT now()
);
CREATE TABLE jobs (
    visit text NOT NULL REFERENCES visits ON DELETE CASCADE,
    kind smallint NOT NULL,
    number integer NOT NULL,
    job_id integer NOT NULL,
    readings bigint NOT NULL,
    title bytea NOT NULL,
    notes bytea NOT NULL,
    PRIMARY KEY (visit, kind, number)
);
CREATE TABLE readings (
    visit text NOT NULL REFERENCES visits ON DELETE CASCADE,
    job integer NOT NULL,
    kind integer NOT NULL,
    location integer NOT NULL,
    sub_location integer NOT NULL,
    material integer NOT NULL,
    value double precision NOT NULL,
    temperature double precision,
    year integer NOT NULL,
    month integer NOT NULL,
    day integer NOT NULL,
    hour_code integer NOT NULL,
    minute integer NOT NULL,
    clock_minute bigint NOT NULL
);
CREATE INDEX readings_visit ON readings (visit);
CREATE TABLE projects (
    key text PRIMARY KEY,
    revision bigint NOT NULL CHECK (revision >= 1),
    name text NOT NULL CHECK (name <> ''),
    client text NOT NULL,
    site text NOT NULL,
    claim text NOT NULL,
    loss_date bigint,
    category integer CHECK (category BETWEEN 1 AND 3),
    water_class integer CHECK (water_class BETWEEN 1 AND 4),
    notes text NOT NULL
);
CREATE TABLE project_jobs (
    project text NOT NULL REFERENCES projects ON DELETE CASCADE,
    visit text NOT NULL REFERENCES visits ON DELETE CASCADE,
    kind smallint NOT NULL,
    number integer NOT NULL,
    PRIMARY KEY (project, visit, kind, number)
);
CREATE UNIQUE INDEX projects_name ON projects
    (translate(name, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz'));
)sql",
    // Version 2: everything a project holds (points, standards, equipment, legend), projects
    // deleted by a laptop kept as a mark (so that the other laptops delete theirs) and a revision
    // of each job's titles and notes. Roles made for version 1 get the new tables' rights.
    R"sql(
ALTER TABLE projects ADD COLUMN deleted_at timestamptz;
DROP INDEX projects_name;
CREATE UNIQUE INDEX projects_name ON projects
    (translate(name, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz'))
    WHERE deleted_at IS NULL;
ALTER TABLE jobs ADD COLUMN revision bigint NOT NULL DEFAULT 1 CHECK (revision >= 1);
CREATE TABLE project_points (
    project text NOT NULL REFERENCES projects ON DELETE CASCADE,
    scale text NOT NULL CHECK (scale IN ('pin', 'scan', 'air')),
    location integer NOT NULL CHECK (location BETWEEN 0 AND 63),
    sub_location integer NOT NULL CHECK (sub_location BETWEEN -1 AND 2),
    material text NOT NULL,
    label text NOT NULL,
    role text CHECK (role IN ('affected', 'unaffected', 'outside', 'outlet', 'other')),
    PRIMARY KEY (project, scale, location, sub_location, material)
);
CREATE TABLE project_standards (
    project text NOT NULL REFERENCES projects ON DELETE CASCADE,
    scale text NOT NULL CHECK (scale IN ('pin', 'scan')),
    location integer NOT NULL CHECK (location BETWEEN -1 AND 63),
    sub_location integer NOT NULL CHECK (sub_location BETWEEN -1 AND 2),
    material text NOT NULL,
    value double precision,
    ref_scale text CHECK (ref_scale IN ('pin', 'scan', 'air')),
    ref_location integer,
    ref_sub_location integer,
    ref_material text,
    tolerance double precision,
    CHECK (value IS NULL OR ref_scale IS NULL),
    PRIMARY KEY (project, scale, location, sub_location, material)
);
CREATE TABLE project_equipment (
    project text NOT NULL REFERENCES projects ON DELETE CASCADE,
    position integer NOT NULL,
    type text NOT NULL CHECK (type IN ('dehumidifier', 'air mover', 'heater', 'other')),
    count integer NOT NULL,
    place text NOT NULL,
    placed date NOT NULL,
    removed date,
    PRIMARY KEY (project, position)
);
CREATE TABLE project_legend (
    project text NOT NULL REFERENCES projects ON DELETE CASCADE,
    code text NOT NULL,
    name text NOT NULL,
    PRIMARY KEY (project, code)
);
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'quellmark_technician') THEN
        GRANT UPDATE (title, notes, revision) ON jobs TO quellmark_technician;
        GRANT SELECT, INSERT, UPDATE, DELETE ON project_points, project_standards,
            project_equipment, project_legend TO quellmark_technician;
        GRANT DELETE ON projects TO quellmark_technician;
    END IF;
END
$$;
)sql",
    // Version 3: the server guards what it is given, whoever writes. A visit's bytes must be
    // those its SHA-256 names; a visit's jobs and readings are written only in the transaction
    // that adds the visit (its row's xmin), so nobody adds rows to a visit already there. The
    // functions name their tables by schema and search pg_catalog alone, so that no table or
    // function of a writer's own can stand in for ours.
    R"sql(
CREATE FUNCTION visit_bytes_match() RETURNS trigger LANGUAGE plpgsql
SET search_path = pg_catalog AS $$
BEGIN
    -- (no bytes at all: refused by their column's NOT NULL, which says so)
    IF NEW.source_bytes IS NOT NULL AND
       NEW.sha256 IS DISTINCT FROM encode(sha256(NEW.source_bytes), 'hex') THEN
        RAISE EXCEPTION 'the bytes of visit % do not match its SHA-256', left(NEW.sha256, 12)
            USING ERRCODE = 'check_violation';
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER visits_bytes_match BEFORE INSERT OR UPDATE OF sha256, source_bytes ON visits
    FOR EACH ROW EXECUTE FUNCTION visit_bytes_match();
CREATE FUNCTION written_with_visit() RETURNS trigger LANGUAGE plpgsql
SET search_path = pg_catalog AS $$
DECLARE
    other text;
BEGIN
    EXECUTE format('SELECT a.visit FROM added a LEFT JOIN %I.visits v ON v.sha256 = a.visit '
                   'WHERE v.xmin IS DISTINCT FROM pg_current_xact_id()::xid LIMIT 1',
                   TG_TABLE_SCHEMA) INTO other;
    IF other IS NOT NULL THEN
        RAISE EXCEPTION 'the % of visit % are written only with the visit', TG_TABLE_NAME,
            left(other, 12) USING ERRCODE = 'insufficient_privilege';
    END IF;
    RETURN NULL;
END
$$;
CREATE TRIGGER jobs_written_with_visit AFTER INSERT ON jobs REFERENCING NEW TABLE AS added
    FOR EACH STATEMENT EXECUTE FUNCTION written_with_visit();
CREATE TRIGGER readings_written_with_visit AFTER INSERT ON readings
    REFERENCING NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION written_with_visit();
)sql",
    // Version 4: removed materials and planned points (project_points), and each equipment
    // entry's unit, model and rated capacity (project_equipment). The technician's rights on
    // both tables cover the new columns.
    R"sql(
ALTER TABLE project_points ADD COLUMN removed_on date,
    ADD COLUMN removed_reason text NOT NULL DEFAULT '',
    ADD COLUMN planned boolean NOT NULL DEFAULT false;
ALTER TABLE project_equipment ADD COLUMN unit text NOT NULL DEFAULT '',
    ADD COLUMN model text NOT NULL DEFAULT '',
    ADD COLUMN capacity double precision;
)sql",
    // Version 5: photos of the projects. A photo's bytes are kept once, by their SHA-256, which
    // the server checks as it checks a visit's; a project's photos name them with their point,
    // day, visit and caption. Roles made before get the new tables' rights (bytes are added,
    // never changed or deleted by a technician).
    R"sql(
CREATE TABLE photo_bytes (
    sha256 text PRIMARY KEY CHECK (sha256 ~ '^[0-9a-f]{64}$'),
    bytes bytea NOT NULL,
    pushed_at timestamptz NOT NULL DEFAULT now()
);
CREATE FUNCTION photo_bytes_match() RETURNS trigger LANGUAGE plpgsql
SET search_path = pg_catalog AS $$
BEGIN
    IF NEW.bytes IS NOT NULL AND NEW.sha256 IS DISTINCT FROM encode(sha256(NEW.bytes), 'hex') THEN
        RAISE EXCEPTION 'the bytes of photo % do not match its SHA-256', left(NEW.sha256, 12)
            USING ERRCODE = 'check_violation';
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER photo_bytes_match BEFORE INSERT OR UPDATE OF sha256, bytes ON photo_bytes
    FOR EACH ROW EXECUTE FUNCTION photo_bytes_match();
CREATE TABLE project_photos (
    project text NOT NULL REFERENCES projects ON DELETE CASCADE,
    sha256 text NOT NULL REFERENCES photo_bytes,
    point text,
    day text,
    visit text,
    caption text NOT NULL,
    PRIMARY KEY (project, sha256)
);
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'quellmark_technician') THEN
        GRANT SELECT, INSERT ON photo_bytes TO quellmark_technician;
        GRANT SELECT, INSERT, UPDATE, DELETE ON project_photos TO quellmark_technician;
    END IF;
END
$$;
)sql",
    // Version 6: what is said of a visit (technician, meter, calibration check) as one text, a
    // line a field, with its own revision; the visit's bytes stay as they are. Roles made
    // before get its rights.
    R"sql(
CREATE TABLE visit_evidence (
    visit text PRIMARY KEY REFERENCES visits ON DELETE CASCADE,
    revision bigint NOT NULL DEFAULT 1 CHECK (revision >= 1),
    evidence text NOT NULL CHECK (length(evidence) <= 2000)
);
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'quellmark_technician') THEN
        GRANT SELECT, INSERT ON visit_evidence TO quellmark_technician;
        GRANT UPDATE (evidence, revision) ON visit_evidence TO quellmark_technician;
    END IF;
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'quellmark_admin') THEN
        GRANT DELETE ON visit_evidence TO quellmark_admin;
    END IF;
END
$$;
)sql",
};

} // namespace

std::optional<int> server_schema_version(PgDb& db) {
    const auto exists = db.query("SELECT to_regclass('schema_version') IS NOT NULL", {});
    if (!exists) {
        return std::nullopt;
    }
    if (exists->text(0, 0) != "t") {
        return 0;
    }
    const auto version = db.query("SELECT max(version) FROM schema_version", {});
    if (!version || version->rows() != 1) {
        return std::nullopt;
    }
    return version->is_null(0, 0) ? 0 : static_cast<int>(version->integer(0, 0));
}

bool migrate_server(PgDb& db, std::string& error, int to_version) {
    PgTransaction transaction(db);
    // One migration at a time: a second `server init` waits for the first.
    if (!transaction.begun() || !db.exec("SELECT pg_advisory_xact_lock(5200271)") ||
        !db.exec("CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL)")) {
        error = db.error();
        return false;
    }
    const std::optional<int> version = server_schema_version(db);
    if (!version) {
        error = db.error();
        return false;
    }
    if (*version > kServerSchemaVersion) {
        error = "the server's schema (version " + std::to_string(*version) +
                ") is newer than this program's (" + std::to_string(kServerSchemaVersion) + ")";
        return false;
    }
    to_version = std::clamp(to_version, *version, kServerSchemaVersion);
    for (int v = *version; v < to_version; ++v) {
        if (!db.exec(kMigrations[static_cast<std::size_t>(v)])) {
            error = db.error();
            return false;
        }
    }
    const PgParam to = PgParam::number(to_version);
    if (!db.exec("DELETE FROM schema_version") ||
        !db.query("INSERT INTO schema_version (version) VALUES ($1)", std::span(&to, 1)) ||
        !transaction.commit()) {
        error = db.error();
        return false;
    }
    return true;
}

std::string roles_sql() {
    return R"sql(CREATE ROLE quellmark_technician NOLOGIN;
CREATE ROLE quellmark_admin NOLOGIN IN ROLE quellmark_technician;
GRANT USAGE ON SCHEMA public TO quellmark_technician;
GRANT SELECT ON schema_version TO quellmark_technician;
-- A technician adds visits and edits their jobs' titles and notes, never changes or deletes them;
GRANT SELECT, INSERT ON visits, jobs, readings TO quellmark_technician;
GRANT UPDATE (title, notes, revision) ON jobs TO quellmark_technician;
-- edits and deletes projects, everything they hold;
GRANT SELECT, INSERT, UPDATE, DELETE ON projects, project_jobs, project_points,
    project_standards, project_equipment, project_legend TO quellmark_technician;
-- only the administrator deletes visits.
GRANT DELETE ON visits, jobs, readings TO quellmark_admin;
-- Photos (from version 4; a server brought forward later gives these rights then): a technician
-- adds photos' bytes, never changes or deletes them, and edits the projects' photos.
DO $$
BEGIN
    IF to_regclass('photo_bytes') IS NOT NULL THEN
        GRANT SELECT, INSERT ON photo_bytes TO quellmark_technician;
        GRANT SELECT, INSERT, UPDATE, DELETE ON project_photos TO quellmark_technician;
        GRANT DELETE ON photo_bytes TO quellmark_admin;
    END IF;
END
$$;
-- A technician says who read a visit, with which meter, and its calibration check (a server
-- of an earlier schema gets these rights with the table).
DO $$
BEGIN
    IF to_regclass('visit_evidence') IS NOT NULL THEN
        GRANT SELECT, INSERT ON visit_evidence TO quellmark_technician;
        GRANT UPDATE (evidence, revision) ON visit_evidence TO quellmark_technician;
        GRANT DELETE ON visit_evidence TO quellmark_admin;
    END IF;
END
$$;
)sql";
}

} // namespace qm
