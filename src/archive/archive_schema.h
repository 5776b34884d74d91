#pragma once

// The archive's tables, versioned with PRAGMA user_version. Step i of kArchiveMigrations brings
// an archive of version i to version i + 1; a new version only ever adds a step.

#include <array>
#include <cstdint>
#include <string_view>

namespace qm {

constexpr std::array<std::string_view, 1> kArchiveMigrations = {
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
};

constexpr std::int64_t kArchiveSchemaVersion = kArchiveMigrations.size();

} // namespace qm
