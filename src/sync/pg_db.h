#pragma once

// One small owner over libpq: a connection and its results. libpq is the C client that Debian
// ships with the server (libpq-dev): no exceptions cross into the core, and COPY is at hand for
// readings. Values go into SQL as parameters or through COPY only; failures come back as false
// with the server's own text in error().

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace qm {

// A query's result; cleared by the destructor.
class PgResult {
public:
    PgResult() = default;
    explicit PgResult(pg_result* result) : result_(result) {}
    ~PgResult();
    PgResult(PgResult&& other) noexcept;
    PgResult& operator=(PgResult&& other) noexcept;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;

    int rows() const;
    bool is_null(int row, int column) const;
    // A column as text (or as raw bytes when the query asked for binary results).
    std::string text(int row, int column) const;
    std::int64_t integer(int row, int column) const;
    // Rows an UPDATE, INSERT or DELETE touched.
    std::int64_t affected() const;

private:
    pg_result* result_ = nullptr;
};

// One parameter: text, raw bytes (bytea), or NULL.
struct PgParam {
    std::optional<std::string> value;
    bool binary = false;
    static PgParam text(std::string_view text) { return {std::string(text), false}; }
    static PgParam number(std::int64_t value) { return {std::to_string(value), false}; }
    static PgParam bytes(std::span<const std::uint8_t> bytes) {
        return {std::string(bytes.begin(), bytes.end()), true};
    }
    static PgParam null() { return {std::nullopt, false}; }
};

class PgDb {
public:
    PgDb() = default;
    ~PgDb();
    PgDb(PgDb&& other) noexcept;
    PgDb& operator=(PgDb&& other) noexcept;
    PgDb(const PgDb&) = delete;
    PgDb& operator=(const PgDb&) = delete;

    // Connects with a libpq URI ("postgresql://host/db?sslmode=verify-full") or a key=value
    // string ("service=team"); the password comes from libpq's own means (~/.pgpass,
    // PGPASSFILE, a service file) or, when given, `password` (typed by the user for this
    // connection: passed to libpq apart, never put into a connection string or a message).
    // Gives up after `timeout_seconds`.
    bool connect(const std::string& conninfo, int timeout_seconds, const char* password = nullptr);
    bool is_open() const { return conn_ != nullptr; }
    // The last connect failed because the server wants a password: it had none, or refused
    // the one it was given (not when the password was taken and something else failed, such
    // as a database that does not exist).
    bool needs_password() const { return needs_password_; }

    // Runs SQL without parameters (schema, BEGIN, COMMIT).
    bool exec(std::string_view sql);
    // Runs SQL with parameters $1, $2, ...; nothing on a failure (see error()).
    std::optional<PgResult> query(std::string_view sql, std::span<const PgParam> params,
                                  bool binary_result = false);
    // COPY ... FROM STDIN with `data` in COPY's text format.
    bool copy_in(std::string_view sql, std::string_view data);

    // Runs COMMIT: false when it failed or the server rolled the transaction back instead.
    bool commit();
    // Rolls back the open transaction; the failure that ended it stays in error().
    void rollback();

    // Why the last call failed, as libpq or the server says it (never holds a password).
    const std::string& error() const { return error_; }
    // The SQLSTATE of the last failed statement or connect ("42501" for a refused privilege,
    // "28P01" for a refused password).
    const std::string& sql_state() const { return sql_state_; }

private:
    bool fail_with(pg_result* result);
    pg_conn* conn_ = nullptr;
    bool needs_password_ = false;
    std::string error_;
    std::string sql_state_;
};

// Bytes from their hex text: a bytea as every connection reads it ("\\x4a6f62") or
// encode(..., 'hex') ("4a6f62").
std::string hex_bytes(std::string_view hex);

// Whether a connection string names a password itself (a URI's "user:secret@" or "password="),
// found in its text before libpq parses it; nothing when it cannot be parsed (error says why,
// and never holds a password).
std::optional<bool> conninfo_has_password(const std::string& conninfo, std::string& error);

// BEGIN on construction; ROLLBACK unless committed. Check begun() before the first statement:
// one run after a failed BEGIN would commit on its own.
class PgTransaction {
public:
    explicit PgTransaction(PgDb& db) : db_(db), begun_(db.exec("BEGIN")) {}
    ~PgTransaction();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;
    bool begun() const { return begun_; }
    bool commit();

private:
    PgDb& db_;
    bool begun_ = false;
    bool done_ = false;
};

} // namespace qm
