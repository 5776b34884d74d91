#pragma once

// One small owner over SQLite's C API: a connection, its prepared statements and transactions.
// Values go into SQL as parameters only; every failure comes back as a result carrying SQLite's
// own text, never as an exception.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace qm {

// An open connection; closed by the destructor.
class SqliteDb {
public:
    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(SqliteDb&& other) noexcept;
    SqliteDb& operator=(SqliteDb&& other) noexcept;
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens an existing database file (never creates one). Returns false with error() set.
    bool open(const std::string& path, bool read_only);
    bool is_open() const { return db_ != nullptr; }
    // Runs SQL without parameters (pragmas, schema, BEGIN/COMMIT). False with error() set.
    bool exec(std::string_view sql);
    // The first column of the first row of a query without parameters, as an integer; nothing
    // is distinguished from 0 only through the return value.
    bool query_int(std::string_view sql, std::int64_t& value);
    std::int64_t last_insert_id() const;
    int changes() const;
    // SQLite's text of the last failure ("file is not a database", "database is locked").
    const std::string& error() const { return error_; }
    // SQLite's primary result code of the last failure (SQLITE_BUSY, SQLITE_NOTADB, ...).
    int error_code() const { return error_code_; }
    sqlite3* handle() const { return db_; }
    void note_failure(int code);
    void restore_failure(int code, std::string text);

private:
    sqlite3* db_ = nullptr;
    std::string error_;
    int error_code_ = 0;
};

// A prepared statement, reset and reused; finalised by the destructor.
class SqliteStatement {
public:
    SqliteStatement() = default;
    SqliteStatement(SqliteDb& db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    // Parameters count from 1, as in SQLite. Texts and blobs are copied by SQLite.
    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bind(int index, double value);
    SqliteStatement& bind_null(int index);
    SqliteStatement& bind_text(int index, std::string_view text);
    SqliteStatement& bind_blob(int index, std::span<const std::uint8_t> bytes);
    // Steps once: true while a row is there; false at the end or on a failure (see failed()).
    bool step();
    // Runs a statement that returns no rows; false (error in the connection) on a failure.
    bool run();
    // Makes the statement ready for new parameters.
    void reset();
    bool failed() const { return failed_; }

    std::int64_t column_int(int column) const;
    double column_double(int column) const;
    bool column_is_null(int column) const;
    std::string column_text(int column) const;
    std::span<const std::uint8_t> column_blob(int column) const;

private:
    SqliteDb* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
};

// BEGIN IMMEDIATE on construction (the write lock is taken at once, so two writers wait for
// each other through the busy timeout instead of failing halfway); ROLLBACK unless committed.
// Inside another transaction it is a savepoint of that one: its work is undone alone when it is
// not committed, and kept only when the outer transaction commits.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDb& db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool begun() const { return begun_; }
    bool commit();

private:
    SqliteDb& db_;
    bool nested_ = false;
    bool begun_ = false;
    bool done_ = false;
};

} // namespace qm
