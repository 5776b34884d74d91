#pragma once

// What the two halves of the project store share: binding and reading the columns of points,
// dates and optional values, and the transaction every change runs in. Only project_store*.cpp
// include it.

#include "projects/drying_days.h"
#include "projects/project_store.h"
#include "projects/project_texts.h"

namespace qm::project_sql {

inline std::string_view kind_text(RecordKind kind) {
    return record_kind_name(kind);
}

inline RecordKind kind_of(const std::string& text) {
    return parse_record_kind(text).value_or(RecordKind::Mc);
}

inline std::string text_of(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

inline void bind_optional(SqliteStatement& s, int index, std::optional<std::int64_t> value) {
    value ? s.bind(index, *value) : s.bind_null(index);
}

inline void bind_optional(SqliteStatement& s, int index, std::optional<double> value) {
    value ? s.bind(index, *value) : s.bind_null(index);
}

inline void bind_date(SqliteStatement& s, int index, std::optional<std::int64_t> day) {
    day ? s.bind_text(index, iso_date(*day)) : s.bind_null(index);
}

inline std::optional<std::int64_t> date_column(const SqliteStatement& s, int column) {
    return s.column_is_null(column) ? std::nullopt : parse_iso_date(s.column_text(column));
}

inline std::optional<int> small_column(const SqliteStatement& s, int column) {
    if (s.column_is_null(column)) {
        return std::nullopt;
    }
    return static_cast<int>(s.column_int(column));
}

// Binds a point's four key columns from `index` on.
inline void bind_point(SqliteStatement& s, int index, const MonitoringPoint& p) {
    s.bind_text(index, scale_name(p.scale))
        .bind(index + 1, std::int64_t{p.location})
        .bind(index + 2, std::int64_t{p.scale == PointScale::Air ? -1 : p.sub_location})
        .bind_text(index + 3, p.scale == PointScale::Air ? std::string() : p.material);
}

inline MonitoringPoint point_column(const SqliteStatement& s, int column) {
    return {parse_scale(s.column_text(column)).value_or(PointScale::Pin),
            static_cast<int>(s.column_int(column + 1)), static_cast<int>(s.column_int(column + 2)),
            s.column_text(column + 3)};
}

} // namespace qm::project_sql

namespace qm {

template <typename Write> bool ProjectStore::in_transaction(Write write) {
    error_.clear();
    if (!writable()) {
        return false;
    }
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) {
        return fail(db_.error());
    }
    if (!write()) {
        if (error_.empty()) {
            error_ = db_.error();
        }
        return false;
    }
    return transaction.commit() || fail(db_.error());
}

} // namespace qm
