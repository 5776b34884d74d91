#include "sync/pg_db.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace qm {

PgResult::~PgResult() {
    PQclear(result_);
}

PgResult::PgResult(PgResult&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}

PgResult& PgResult::operator=(PgResult&& other) noexcept {
    if (this != &other) {
        PQclear(result_);
        result_ = std::exchange(other.result_, nullptr);
    }
    return *this;
}

int PgResult::rows() const {
    return result_ == nullptr ? 0 : PQntuples(result_);
}

bool PgResult::is_null(int row, int column) const {
    return PQgetisnull(result_, row, column) != 0;
}

std::string PgResult::text(int row, int column) const {
    return std::string(PQgetvalue(result_, row, column),
                       static_cast<std::size_t>(PQgetlength(result_, row, column)));
}

std::int64_t PgResult::integer(int row, int column) const {
    return std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
}

std::int64_t PgResult::affected() const {
    return std::strtoll(PQcmdTuples(result_), nullptr, 10);
}

PgDb::~PgDb() {
    PQfinish(conn_);
}

PgDb::PgDb(PgDb&& other) noexcept
    : conn_(std::exchange(other.conn_, nullptr)), needs_password_(other.needs_password_),
      error_(std::move(other.error_)), sql_state_(std::move(other.sql_state_)) {}

PgDb& PgDb::operator=(PgDb&& other) noexcept {
    if (this != &other) {
        PQfinish(conn_);
        conn_ = std::exchange(other.conn_, nullptr);
        needs_password_ = other.needs_password_;
        error_ = std::move(other.error_);
        sql_state_ = std::move(other.sql_state_);
    }
    return *this;
}

namespace {

// libpq's text without its trailing line break.
std::string trimmed(const char* text) {
    std::string s = text == nullptr ? "" : text;
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) {
        s.pop_back();
    }
    return s;
}

} // namespace

bool PgDb::connect(const std::string& conninfo, int timeout_seconds, const char* password) {
    PQfinish(std::exchange(conn_, nullptr));
    needs_password_ = false;
    const std::string timeout = std::to_string(timeout_seconds);
    // The URI or service as given, with a time limit and our name; later keys do not override
    // what the user's string says, so "dbname" is expanded from it. A typed password comes
    // last, as a key of its own (a URI that holds one is refused before).
    const char* keys[] = {"dbname", "connect_timeout", "application_name", "password", nullptr};
    const char* values[] = {conninfo.c_str(), timeout.c_str(), "quellmark", password, nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
        error_ = conn == nullptr ? "out of memory" : trimmed(PQerrorMessage(conn));
        needs_password_ = conn != nullptr && (PQconnectionNeedsPassword(conn) != 0 ||
                                              PQconnectionUsedPassword(conn) != 0);
        PQfinish(conn);
        return false;
    }
    conn_ = conn;
    // The server's notices ("already exists, skipping") are not for the user.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    // Text and bytes as this program reads them, whatever the server's or database's defaults
    // (bytea_output = 'escape' would otherwise garble pulled titles and notes).
    return exec("SET client_encoding = 'UTF8'; SET bytea_output = 'hex'");
}

bool PgDb::fail_with(pg_result* result) {
    const char* state = result == nullptr ? nullptr : PQresultErrorField(result, PG_DIAG_SQLSTATE);
    sql_state_ = state == nullptr ? "" : state;
    error_ = trimmed(result != nullptr ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
    if (error_.empty()) {
        error_ = trimmed(PQerrorMessage(conn_));
    }
    PQclear(result);
    return false;
}

bool PgDb::exec(std::string_view sql) {
    error_.clear();
    sql_state_.clear();
    if (conn_ == nullptr) {
        error_ = "not connected";
        return false;
    }
    PGresult* result = PQexec(conn_, std::string(sql).c_str());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        return fail_with(result);
    }
    PQclear(result);
    return true;
}

std::optional<PgResult> PgDb::query(std::string_view sql, std::span<const PgParam> params,
                                    bool binary_result) {
    error_.clear();
    sql_state_.clear();
    if (conn_ == nullptr) {
        error_ = "not connected";
        return std::nullopt;
    }
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const PgParam& p : params) {
        values.push_back(p.value ? p.value->data() : nullptr);
        lengths.push_back(p.value ? static_cast<int>(p.value->size()) : 0);
        formats.push_back(p.binary ? 1 : 0);
    }
    PGresult* result =
        PQexecParams(conn_, std::string(sql).c_str(), static_cast<int>(params.size()), nullptr,
                     values.data(), lengths.data(), formats.data(), binary_result ? 1 : 0);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        fail_with(result);
        return std::nullopt;
    }
    return PgResult(result);
}

bool PgDb::copy_in(std::string_view sql, std::string_view data) {
    error_.clear();
    sql_state_.clear();
    if (conn_ == nullptr) {
        error_ = "not connected";
        return false;
    }
    PGresult* start = PQexec(conn_, std::string(sql).c_str());
    if (PQresultStatus(start) != PGRES_COPY_IN) {
        return fail_with(start);
    }
    PQclear(start);
    constexpr std::size_t kChunk = 1 << 20;
    bool sent = true;
    for (std::size_t at = 0; sent && at < data.size(); at += kChunk) {
        const std::size_t n = std::min(kChunk, data.size() - at);
        sent = PQputCopyData(conn_, data.data() + at, static_cast<int>(n)) == 1;
    }
    if (PQputCopyEnd(conn_, sent ? nullptr : "sending failed") != 1) {
        return fail_with(nullptr);
    }
    bool ok = true;
    while (PGresult* result = PQgetResult(conn_)) {
        if (PQresultStatus(result) != PGRES_COMMAND_OK) {
            ok = fail_with(result);
        } else {
            PQclear(result);
        }
    }
    return ok && sent;
}

void PgDb::rollback() {
    std::string error = error_;
    std::string state = sql_state_;
    if (!exec("ROLLBACK") && error.empty()) {
        return; // nothing failed before: the ROLLBACK's own failure is the one to show
    }
    if (!error.empty()) {
        error_ = std::move(error);
        sql_state_ = std::move(state);
    }
}

std::optional<bool> conninfo_has_password(const std::string& conninfo, std::string& error) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &message);
    if (options == nullptr) {
        error = trimmed(message == nullptr ? "out of memory" : message);
        PQfreemem(message);
        return std::nullopt;
    }
    bool has = false;
    for (const PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
        has = has || (std::string_view(o->keyword) == "password" && o->val != nullptr);
    }
    PQconninfoFree(options);
    return has;
}

PgTransaction::~PgTransaction() {
    if (begun_ && !done_) {
        db_.rollback();
    }
}

bool PgTransaction::commit() {
    done_ = true;
    return begun_ && db_.exec("COMMIT");
}

std::string hex_bytes(std::string_view hex) {
    if (hex.starts_with("\\x")) {
        hex.remove_prefix(2);
    }
    std::string out;
    out.reserve(hex.size() / 2);
    const auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(nibble(hex[i]) * 16 + nibble(hex[i + 1]));
    }
    return out;
}

} // namespace qm
