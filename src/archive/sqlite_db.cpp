#include "archive/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

namespace qm {

SqliteDb::~SqliteDb() {
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
    }
}

SqliteDb::SqliteDb(SqliteDb&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), error_(std::move(other.error_)),
      error_code_(other.error_code_) {}

SqliteDb& SqliteDb::operator=(SqliteDb&& other) noexcept {
    if (this != &other) {
        if (db_ != nullptr) {
            sqlite3_close_v2(db_);
        }
        db_ = std::exchange(other.db_, nullptr);
        error_ = std::move(other.error_);
        error_code_ = other.error_code_;
    }
    return *this;
}

bool SqliteDb::open(const std::string& path, bool read_only) {
    const int flags =
        (read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        error_ = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        error_code_ = rc & 0xFF;
        sqlite3_close_v2(db);
        return false;
    }
    db_ = db;
    sqlite3_extended_result_codes(db_, 0);
    return true;
}

void SqliteDb::note_failure(int code) {
    error_code_ = code & 0xFF;
    error_ = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
}

void SqliteDb::restore_failure(int code, std::string text) {
    error_code_ = code;
    error_ = std::move(text);
}

bool SqliteDb::exec(std::string_view sql) {
    const std::string text(sql);
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        note_failure(rc);
        return false;
    }
    return true;
}

bool SqliteDb::query_int(std::string_view sql, std::int64_t& value) {
    SqliteStatement statement(*this, sql);
    if (!statement.ok() || !statement.step()) {
        if (statement.ok() && !statement.failed()) {
            error_ = "no row";
        }
        return false;
    }
    value = statement.column_int(0);
    return true;
}

std::int64_t SqliteDb::last_insert_id() const {
    return sqlite3_last_insert_rowid(db_);
}

int SqliteDb::changes() const {
    return sqlite3_changes(db_);
}

SqliteStatement::SqliteStatement(SqliteDb& db, std::string_view sql) : db_(&db) {
    const int rc =
        sqlite3_prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        db.note_failure(rc);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        failed_ = true;
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)), failed_(other.failed_) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
        failed_ = other.failed_;
    }
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, double value) {
    sqlite3_bind_double(stmt_, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind_null(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}

SqliteStatement& SqliteStatement::bind_text(int index, std::string_view text) {
    sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

SqliteStatement& SqliteStatement::bind_blob(int index, std::span<const std::uint8_t> bytes) {
    // A zero-length blob is still a blob, not NULL.
    static constexpr std::uint8_t kNone = 0;
    sqlite3_bind_blob64(stmt_, index, bytes.empty() ? &kNone : bytes.data(), bytes.size(),
                        SQLITE_TRANSIENT);
    return *this;
}

bool SqliteStatement::step() {
    if (stmt_ == nullptr) {
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        failed_ = true;
        db_->note_failure(rc);
    }
    return false;
}

bool SqliteStatement::run() {
    step();
    const bool good = stmt_ != nullptr && !failed_;
    reset();
    return good;
}

void SqliteStatement::reset() {
    if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        failed_ = false;
    }
}

std::int64_t SqliteStatement::column_int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double SqliteStatement::column_double(int column) const {
    return sqlite3_column_double(stmt_, column);
}

bool SqliteStatement::column_is_null(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::string SqliteStatement::column_text(int column) const {
    const auto* text = sqlite3_column_text(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return text == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
}

std::span<const std::uint8_t> SqliteStatement::column_blob(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    if (data == nullptr) {
        return {};
    }
    return {static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size)};
}

SqliteTransaction::SqliteTransaction(SqliteDb& db)
    : db_(db), nested_(sqlite3_get_autocommit(db.handle()) == 0) {
    begun_ = db_.exec(nested_ ? "SAVEPOINT nested" : "BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction() {
    if (begun_ && !done_) {
        // The failure that stopped the work is what the caller reports, not the rollback's.
        const std::string error = db_.error();
        const int code = db_.error_code();
        db_.exec(nested_ ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
        db_.restore_failure(code, error);
    }
}

bool SqliteTransaction::commit() {
    if (!begun_ || done_) {
        return false;
    }
    done_ = db_.exec(nested_ ? "RELEASE nested" : "COMMIT");
    return done_;
}

} // namespace qm
