#include "sync/pg_db.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
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

constexpr const char* kInvalidPassword = "28P01";

bool is_uri(std::string_view conninfo) {
    return conninfo.starts_with("postgresql://") || conninfo.starts_with("postgres://");
}

// %XX sequences as the bytes they stand for, letters in lower case: what a search for a key
// sees however the key was written.
std::string decoded_lower(std::string_view text) {
    const auto hex = [](char c) {
        return c >= '0' && c <= '9'                     ? c - '0'
               : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                        : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    for (char& c : out) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

// Whether a connection string names a password, read from its text alone (before libpq sees
// it, whose messages may quote the whole string): a URI's "user:secret@" (the user part ends at
// the first '@' before any '/', as libpq reads it) or a key "password" followed by '='.
bool names_password(std::string_view conninfo) {
    if (is_uri(conninfo)) {
        const std::string_view rest = conninfo.substr(conninfo.find("://") + 3);
        const std::size_t end = rest.find_first_of("@/");
        if (end != std::string_view::npos && rest[end] == '@' &&
            rest.substr(0, end).find(':') != std::string_view::npos) {
            return true;
        }
    }
    const std::string text = decoded_lower(conninfo);
    for (std::size_t at = 0; (at = text.find("password", at)) != std::string::npos; ++at) {
        const std::size_t after = text.find_first_not_of(" \t\n\r\f\v", at + 8);
        const bool key_starts = at == 0 || std::string_view(" \t\n\r\f\v?&'").find(text[at - 1]) !=
                                               std::string_view::npos;
        if (key_starts && after != std::string::npos && text[after] == '=') {
            return true;
        }
    }
    return false;
}

// A libpq message with the connection string it quotes left out when that names a password.
std::string scrubbed(std::string message, const std::string& conninfo) {
    if (!conninfo.empty() && names_password(conninfo)) {
        for (std::size_t at; (at = message.find(conninfo)) != std::string::npos;) {
            message.replace(at, conninfo.size(), "(the address, less its password)");
        }
    }
    return message;
}

// The SQLSTATE a verbose connection message carries after its severity ("FATAL:  28P01: ..."),
// and the message as libpq words it by default: without the code and the LOCATION line.
std::string take_sql_state(std::string& message) {
    std::string state;
    for (const char* severity : {"FATAL:  ", "ERROR:  "}) {
        const std::size_t at = message.find(severity);
        const std::size_t code = at == std::string::npos ? at : at + std::strlen(severity);
        if (code != std::string::npos && code + 7 <= message.size() &&
            message.compare(code + 5, 2, ": ") == 0) {
            state = message.substr(code, 5);
            message.erase(code, 7);
            break;
        }
    }
    std::string kept;
    for (std::size_t at = 0; at <= message.size();) {
        const std::size_t end = std::min(message.find('\n', at), message.size());
        const std::string_view line = std::string_view(message).substr(at, end - at);
        if (!line.starts_with("LOCATION:  ")) {
            kept += kept.empty() && at == 0 ? "" : "\n";
            kept += line;
        }
        at = end + 1;
    }
    message = trimmed(kept.c_str());
    return state;
}

// Waits for a connection started by PQconnectStartParams, at most `timeout_seconds`.
bool await_connection(PGconn* conn, int timeout_seconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(std::max(timeout_seconds, 1));
    PostgresPollingStatusType polled = PGRES_POLLING_WRITING;
    while (polled != PGRES_POLLING_OK && polled != PGRES_POLLING_FAILED) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd{PQsocket(conn),
                  static_cast<short>(polled == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        const int ready = left.count() <= 0 ? 0 : ::poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        polled = PQconnectPoll(conn);
    }
    return polled == PGRES_POLLING_OK;
}

} // namespace

bool PgDb::connect(const std::string& conninfo, int timeout_seconds, const char* password) {
    PQfinish(std::exchange(conn_, nullptr));
    needs_password_ = false;
    sql_state_.clear();
    const std::string timeout = std::to_string(timeout_seconds);
    // The URI or service as given, with a time limit and our name; later keys do not override
    // what the user's string says, so "dbname" is expanded from it. A typed password comes
    // last, as a key of its own (a URI that holds one is refused before).
    const char* keys[] = {"dbname", "connect_timeout", "application_name", "password", nullptr};
    const char* values[] = {conninfo.c_str(), timeout.c_str(), "quellmark", password, nullptr};
    PGconn* conn = PQconnectStartParams(keys, values, 1);
    // Verbose, the server's refusal carries its SQLSTATE: only a refused password (28P01) is
    // worth asking for another one; a missing database or role is not.
    PQsetErrorVerbosity(conn, PQERRORS_VERBOSE);
    const bool connected = conn != nullptr && PQstatus(conn) != CONNECTION_BAD &&
                           await_connection(conn, timeout_seconds);
    if (!connected) {
        error_ = conn == nullptr ? "out of memory" : trimmed(PQerrorMessage(conn));
        if (conn != nullptr && PQstatus(conn) != CONNECTION_BAD) {
            error_ = "timeout expired";
        }
        sql_state_ = take_sql_state(error_);
        error_ = scrubbed(error_, conninfo);
        needs_password_ = conn != nullptr &&
                          (PQconnectionNeedsPassword(conn) != 0 ||
                           (PQconnectionUsedPassword(conn) != 0 && sql_state_ == kInvalidPassword));
        PQfinish(conn);
        return false;
    }
    conn_ = conn;
    PQsetErrorVerbosity(conn_, PQERRORS_DEFAULT);
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

bool PgDb::commit() {
    error_.clear();
    sql_state_.clear();
    if (conn_ == nullptr) {
        error_ = "not connected";
        return false;
    }
    PGresult* result = PQexec(conn_, "COMMIT");
    if (PQresultStatus(result) != PGRES_COMMAND_OK) {
        return fail_with(result);
    }
    // A transaction a failed statement ended answers COMMIT with the tag ROLLBACK.
    const bool committed = std::string_view(PQcmdStatus(result)) == "COMMIT";
    PQclear(result);
    if (!committed) {
        error_ = "the server rolled the transaction back, as a statement in it failed";
    }
    return committed;
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
    if (names_password(conninfo)) {
        return true;
    }
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &message);
    if (options == nullptr) {
        error = scrubbed(trimmed(message == nullptr ? "out of memory" : message), conninfo);
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
    if (!begun_ || done_) {
        return false;
    }
    done_ = true;
    return db_.commit();
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
