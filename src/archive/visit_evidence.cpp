#include "archive/visit_evidence.h"

#include "text/reading_time.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qm {

// What is said of the visits and the user's meters are tables of their own in the archive's file.
class EvidenceTables {
public:
    static SqliteDb& of(VisitArchive& archive) { return archive.connection(ArchiveTablesKey{}); }
};

namespace {

constexpr std::string_view kCheckMark = "\xE2\x9C\x93"; // U+2713
constexpr std::string_view kCrossMark = "\xE2\x9C\x97"; // U+2717
// Reading and standard are tenths: a difference is judged to the hundredth.
constexpr double kCheckSlack = 0.005;

std::string month_day(std::int64_t day) {
    const CivilDate d = civil_date_of(day);
    return std::to_string(d.month) + "/" + std::to_string(d.day);
}

std::string tenths(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

bool has_control(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

std::string folded(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != ' ') {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

Failure read_failure(VisitArchive& archive) {
    return failure("the archive " + archive.path() + " cannot be read: " + archive.error());
}

Failure write_failure(VisitArchive& archive) {
    return failure("the archive " + archive.path() + " was not changed: " + archive.error());
}

constexpr std::string_view kEvidenceColumns =
    "SELECT sha256, technician, meter_name, meter_serial, check_kind, check_read, "
    "check_expected, check_on FROM visit_evidence ";

VisitEvidence evidence_of(const SqliteStatement& row) {
    VisitEvidence e;
    e.technician = row.column_text(1);
    e.meter_name = row.column_text(2);
    e.meter_serial = row.column_text(3);
    if (!row.column_is_null(4)) {
        CalibrationCheck c;
        c.standard =
            row.column_text(4) == "pinless" ? CheckStandard::PinlessPad : CheckStandard::PinBlock;
        c.read = row.column_double(5);
        c.expected = row.column_double(6);
        const std::string on = row.column_text(7);
        int y = 0, m = 0, d = 0;
        if (std::sscanf(on.c_str(), "%d-%d-%d", &y, &m, &d) == 3) {
            c.on = civil_day_number(y, m, d);
        }
        e.check = c;
    }
    return e;
}

std::string iso_day(std::int64_t day) {
    const CivilDate d = civil_date_of(day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

} // namespace

bool check_passed(const CalibrationCheck& check) {
    return std::fabs(check.read - check.expected) <= kCheckTolerancePercent + kCheckSlack;
}

std::string check_text(const CalibrationCheck& check) {
    std::string text = "checked " + month_day(check.on) + ", " + tenths(check.read) + " on a " +
                       tenths(check.expected) +
                       (check.standard == CheckStandard::PinBlock ? " block " : " pad ");
    if (check_passed(check)) {
        return text + std::string(kCheckMark);
    }
    return text + std::string(kCrossMark) + " off by " +
           tenths(std::fabs(check.read - check.expected));
}

std::string check_text_plain(const CalibrationCheck& check) {
    const std::string text = "checked " + month_day(check.on) + ", " + tenths(check.read) +
                             " on a " + tenths(check.expected) +
                             (check.standard == CheckStandard::PinBlock ? " block: " : " pad: ");
    return check_passed(check)
               ? text + "passed"
               : text + "FAILED, off by " + tenths(std::fabs(check.read - check.expected));
}

Status check_evidence(const VisitEvidence& e) {
    for (const std::string* text : {&e.technician, &e.meter_name, &e.meter_serial}) {
        if (text->size() > kMaxEvidenceTextBytes) {
            return failure("\"" + text->substr(0, 20) + "...\" is longer than " +
                           std::to_string(kMaxEvidenceTextBytes) + " characters");
        }
        if (has_control(*text)) {
            return failure("a technician, meter name or serial holds no line break or tab");
        }
    }
    if (e.check) {
        for (const double v : {e.check->read, e.check->expected}) {
            if (!std::isfinite(v) || v < 0.0 || v > 100.0) {
                return failure("a calibration check reads between 0 and 100 %MC");
            }
        }
    }
    return done();
}

std::string evidence_record(const VisitEvidence& e) {
    std::string out = "technician=" + e.technician + "\nmeter_name=" + e.meter_name +
                      "\nmeter_serial=" + e.meter_serial + "\n";
    if (e.check) {
        char check[96];
        std::snprintf(check, sizeof check, "check=%s %.17g %.17g %s\n",
                      e.check->standard == CheckStandard::PinBlock ? "pin" : "pinless",
                      e.check->read, e.check->expected, iso_day(e.check->on).c_str());
        out += check;
    }
    return out;
}

std::optional<VisitEvidence> parse_evidence_record(std::string_view record) {
    VisitEvidence e;
    while (!record.empty()) {
        const std::size_t end = record.find('\n');
        if (end == std::string_view::npos) {
            return std::nullopt; // every line ends with its line break
        }
        const std::string_view line = record.substr(0, end);
        record.remove_prefix(end + 1);
        const std::size_t eq = line.find('=');
        const std::string_view name = line.substr(0, eq);
        const std::string value(eq == std::string_view::npos ? "" : line.substr(eq + 1));
        if (name == "technician") {
            e.technician = value;
        } else if (name == "meter_name") {
            e.meter_name = value;
        } else if (name == "meter_serial") {
            e.meter_serial = value;
        } else if (name == "check") {
            char kind[16] = {};
            CalibrationCheck c;
            int y = 0, m = 0, d = 0;
            if (std::sscanf(value.c_str(), "%15s %lf %lf %d-%d-%d", kind, &c.read, &c.expected, &y,
                            &m, &d) != 6 ||
                (std::string_view(kind) != "pin" && std::string_view(kind) != "pinless")) {
                return std::nullopt;
            }
            c.standard = std::string_view(kind) == "pin" ? CheckStandard::PinBlock
                                                         : CheckStandard::PinlessPad;
            c.on = civil_day_number(y, m, d);
            e.check = c;
        } else {
            return std::nullopt;
        }
    }
    if (!check_evidence(e)) {
        return std::nullopt;
    }
    return e;
}

std::string technician_from_environment() {
    const char* name = std::getenv("QUELLMARK_TECHNICIAN");
    return name != nullptr ? std::string(name) : std::string();
}

Result<std::optional<VisitEvidence>> visit_evidence(VisitArchive& archive,
                                                    std::string_view sha256) {
    SqliteStatement query(EvidenceTables::of(archive),
                          std::string(kEvidenceColumns) + "WHERE sha256 = ?1");
    if (query.bind_text(1, sha256).step()) {
        return std::optional<VisitEvidence>(evidence_of(query));
    }
    if (!query.ok() || query.failed()) {
        return read_failure(archive);
    }
    return std::optional<VisitEvidence>();
}

Result<std::map<std::string, VisitEvidence>> all_visit_evidence(VisitArchive& archive) {
    std::map<std::string, VisitEvidence> out;
    SqliteStatement query(EvidenceTables::of(archive), kEvidenceColumns);
    while (query.step()) {
        out.emplace(query.column_text(0), evidence_of(query));
    }
    if (!query.ok() || query.failed()) {
        return read_failure(archive);
    }
    return out;
}

Result<std::map<std::int64_t, VisitEvidence>> evidence_by_visit(VisitArchive& archive) {
    std::map<std::int64_t, VisitEvidence> out;
    SqliteStatement query(EvidenceTables::of(archive),
                          "SELECT e.sha256, e.technician, e.meter_name, e.meter_serial, "
                          "e.check_kind, e.check_read, e.check_expected, e.check_on, v.id FROM "
                          "visit_evidence e JOIN visits v ON v.sha256 = e.sha256");
    while (query.step()) {
        out.emplace(query.column_int(8), evidence_of(query));
    }
    if (!query.ok() || query.failed()) {
        return read_failure(archive);
    }
    return out;
}

Status set_visit_evidence(VisitArchive& archive, std::string_view sha256, const VisitEvidence& e) {
    if (const Status checked = check_evidence(e); !checked) {
        return checked;
    }
    SqliteStatement upsert(EvidenceTables::of(archive),
                           "INSERT OR REPLACE INTO visit_evidence (sha256, technician, "
                           "meter_name, meter_serial, check_kind, check_read, check_expected, "
                           "check_on) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    upsert.bind_text(1, sha256)
        .bind_text(2, e.technician)
        .bind_text(3, e.meter_name)
        .bind_text(4, e.meter_serial);
    if (e.check) {
        upsert.bind_text(5, e.check->standard == CheckStandard::PinBlock ? "pin" : "pinless")
            .bind(6, e.check->read)
            .bind(7, e.check->expected)
            .bind_text(8, iso_day(e.check->on));
    } else {
        upsert.bind_null(5).bind_null(6).bind_null(7).bind_null(8);
    }
    return upsert.run() ? done() : Status(write_failure(archive));
}

Status keep_visit_evidence(VisitArchive& archive, std::int64_t visit_id, const VisitEvidence& e) {
    if (const Status checked = check_evidence(e); !checked) {
        return checked;
    }
    // A text already said stays; an empty one is filled.
    SqliteStatement upsert(
        EvidenceTables::of(archive),
        "INSERT INTO visit_evidence (sha256, technician, meter_name, meter_serial) "
        "SELECT sha256, ?2, ?3, ?4 FROM visits WHERE id = ?1 ON CONFLICT (sha256) DO UPDATE SET "
        "technician = CASE technician WHEN '' THEN excluded.technician ELSE technician END, "
        "meter_name = CASE meter_name WHEN '' THEN excluded.meter_name ELSE meter_name END, "
        "meter_serial = CASE meter_name WHEN '' THEN excluded.meter_serial ELSE meter_serial END");
    return upsert.bind(1, visit_id)
                   .bind_text(2, e.technician)
                   .bind_text(3, e.meter_name)
                   .bind_text(4, e.meter_serial)
                   .run()
               ? done()
               : Status(write_failure(archive));
}

Status add_user_meter(VisitArchive& archive, const UserMeter& meter) {
    const VisitEvidence texts{meter.name, meter.serial, meter.model, std::nullopt};
    if (const Status checked = check_evidence(texts); !checked) {
        return checked;
    }
    if (folded(meter.name).empty()) {
        return failure("a meter needs a name");
    }
    SqliteStatement upsert(EvidenceTables::of(archive),
                           "INSERT OR REPLACE INTO user_meters (name, serial, "
                           "model) VALUES (?1, ?2, ?3)");
    return upsert.bind_text(1, meter.name)
                   .bind_text(2, meter.serial)
                   .bind_text(3, meter.model)
                   .run()
               ? done()
               : Status(write_failure(archive));
}

Result<std::vector<UserMeter>> user_meters(VisitArchive& archive) {
    std::vector<UserMeter> out;
    SqliteStatement query(EvidenceTables::of(archive),
                          "SELECT name, serial, model FROM user_meters ORDER BY name");
    while (query.step()) {
        out.push_back({query.column_text(0), query.column_text(1), query.column_text(2)});
    }
    if (!query.ok() || query.failed()) {
        return read_failure(archive);
    }
    return out;
}

Status remove_user_meter(VisitArchive& archive, std::string_view name) {
    SqliteStatement remove(EvidenceTables::of(archive), "DELETE FROM user_meters WHERE name = ?1");
    if (!remove.bind_text(1, name).run()) {
        return write_failure(archive);
    }
    if (EvidenceTables::of(archive).changes() != 1) {
        return failure("there is no meter named \"" + std::string(name) + "\"");
    }
    return done();
}

const UserMeter* find_user_meter(std::span<const UserMeter> meters, std::string_view name) {
    const std::string wanted = folded(name);
    const auto it = std::find_if(meters.begin(), meters.end(),
                                 [&](const UserMeter& m) { return folded(m.name) == wanted; });
    return it == meters.end() ? nullptr : &*it;
}

std::vector<UserMeter> meters_for_model(std::span<const UserMeter> meters, std::string_view model) {
    std::vector<UserMeter> out;
    const std::string wanted = folded(model);
    for (const UserMeter& m : meters) {
        if (m.model.empty() || folded(m.model) == wanted) {
            out.push_back(m);
        }
    }
    return out;
}

VisitEvidence evidence_with(std::string technician, const UserMeter* meter) {
    VisitEvidence e;
    e.technician = std::move(technician);
    if (meter != nullptr) {
        e.meter_name = meter->name;
        e.meter_serial = meter->serial;
    }
    return e;
}

Result<std::map<std::int64_t, MeterDates>> visit_meter_dates(VisitArchive& archive,
                                                             std::span<const std::int64_t> visits) {
    constexpr std::int64_t kMinutesPerDay = 1440;
    std::map<std::int64_t, MeterDates> out;
    SqliteStatement query(EvidenceTables::of(archive),
                          "SELECT min(clock_minute), max(clock_minute) FROM "
                          "readings WHERE visit_id = ?1");
    for (const std::int64_t id : visits) {
        query.reset();
        if (!query.bind(1, id).step()) {
            return read_failure(archive);
        }
        if (!query.column_is_null(0)) {
            out[id] = {query.column_int(0) / kMinutesPerDay, query.column_int(1) / kMinutesPerDay};
        }
    }
    if (!query.ok()) {
        return read_failure(archive);
    }
    return out;
}

std::string meter_dates_text(const MeterDates& dates) {
    return dates.first == dates.last ? month_day(dates.first)
                                     : month_day(dates.first) + "-" + month_day(dates.last);
}

} // namespace qm
