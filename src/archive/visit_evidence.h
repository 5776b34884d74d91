#pragma once

// What is said of a visit beside its immutable bytes: who read it, with which of the user's
// meters, and the meter's check on its calibration standard. Kept by the visit's SHA-256, so it
// outlives the visit's deletion here and may be known before the visit is; the user's own meters
// are a small list in the same archive.

#include "archive/visit_archive.h"
#include "store/result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// What the meter was checked on: a reference resistance block for the pins, a reference pad for
// the pinless sensor.
enum class CheckStandard { PinBlock, PinlessPad };

// The meter's reading on its check standard and the value the standard stands for (%MC).
struct CalibrationCheck {
    CheckStandard standard = CheckStandard::PinBlock;
    double read = 0.0;
    double expected = 0.0;
    std::int64_t on = 0; // the day of the check (days since 2000-01-01)
    bool operator==(const CalibrationCheck&) const = default;
};

// A check passes when the meter reads its standard within this many %MC: the half point that
// check blocks are made to and a meter of a tenth's resolution can show.
constexpr double kCheckTolerancePercent = 0.5;

bool check_passed(const CalibrationCheck& check);
// "checked 3/4, 12.1 on a 12.0 block ✓" or "checked 3/4, 13.4 on a 12.0 pad ✗ off by 1.4"
// (UTF-8; month/day).
std::string check_text(const CalibrationCheck& check);

// The same in plain ASCII, for the printed report: "checked 3/4, 12.1 on a 12.0 block: passed"
// or "checked 3/4, 13.4 on a 12.0 pad: FAILED, off by 1.4".
std::string check_text_plain(const CalibrationCheck& check);

// What is said of one visit. Texts are UTF-8; empty: not said.
struct VisitEvidence {
    std::string technician;
    std::string meter_name; // the user's name for the meter
    std::string meter_serial;
    std::optional<CalibrationCheck> check;
    bool operator==(const VisitEvidence&) const = default;
};

// Longest technician, meter name or serial, in bytes.
constexpr std::size_t kMaxEvidenceTextBytes = 200;

// Refuses texts too long or with control characters and checks outside 0..100 %MC.
Status check_evidence(const VisitEvidence& evidence);

// The evidence as one text, a line a field ("technician=Ann Lee", "meter_name=...",
// "meter_serial=...", "check=pin 12.1 12 2026-03-04" when there is one), as the team server keeps
// it; the same evidence gives the same text.
std::string evidence_record(const VisitEvidence& evidence);
// The evidence of such a text; nothing when it is not one, or check_evidence refuses it.
std::optional<VisitEvidence> parse_evidence_record(std::string_view record);

// The technician named in QUELLMARK_TECHNICIAN; empty when it is not set.
std::string technician_from_environment();

// The evidence of the visit of that SHA-256; nothing when none is kept.
Result<std::optional<VisitEvidence>> visit_evidence(VisitArchive& archive, std::string_view sha256);
// Every visit's evidence, by SHA-256.
Result<std::map<std::string, VisitEvidence>> all_visit_evidence(VisitArchive& archive);
// The evidence of every visit in this archive that has one, by visit id.
Result<std::map<std::int64_t, VisitEvidence>> evidence_by_visit(VisitArchive& archive);
// Replaces the evidence of the visit of that SHA-256 (check_evidence first).
Status set_visit_evidence(VisitArchive& archive, std::string_view sha256,
                          const VisitEvidence& evidence);
// For a visit just kept (or kept again): says the technician and meter where they are not said
// yet; what is said stays.
Status keep_visit_evidence(VisitArchive& archive, std::int64_t visit_id,
                           const VisitEvidence& evidence);

// One of the user's meters: a name the user gives it, its serial number and its model.
struct UserMeter {
    std::string name;
    std::string serial;
    std::string model; // as the meter names itself; empty: fits every model
    bool operator==(const UserMeter&) const = default;
};

// Adds a meter, or replaces the one of that name (letter case aside).
Status add_user_meter(VisitArchive& archive, const UserMeter& meter);
Result<std::vector<UserMeter>> user_meters(VisitArchive& archive); // by name
// False when there is no such meter (error empty) or on a failure.
Status remove_user_meter(VisitArchive& archive, std::string_view name);
// The meter of that name (letter case aside), or nullptr.
const UserMeter* find_user_meter(std::span<const UserMeter> meters, std::string_view name);
// The meters that may have made a download of `model` (letters case and spaces aside).
std::vector<UserMeter> meters_for_model(std::span<const UserMeter> meters, std::string_view model);
// The evidence of a visit made with `meter` by `technician`.
VisitEvidence evidence_with(std::string technician, const UserMeter* meter);

// The first and last dates of a visit's readings on the meter's clock (days since 2000-01-01).
struct MeterDates {
    std::int64_t first = 0;
    std::int64_t last = 0;
    bool operator==(const MeterDates&) const = default;
};
// By visit id, for the visits that hold readings.
Result<std::map<std::int64_t, MeterDates>> visit_meter_dates(VisitArchive& archive,
                                                             std::span<const std::int64_t> visits);
// "3/4" or "3/4-3/6" (month/day).
std::string meter_dates_text(const MeterDates& dates);

} // namespace qm
