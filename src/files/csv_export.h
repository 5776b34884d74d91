#pragma once

#include "files/regular_file.h"
#include "store/meter_identity.h"
#include "store/reading_store.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// The four header lines, chosen by the date order and the temperature unit (Windows-1252: the
// degree sign is the byte 0xB0). Each is 99 bytes before its CR LF.
constexpr std::string_view kCsvHeaderUsFahrenheit =
    "Name,Job,ID#,Area,Location,Sub Location,Material,Date (US),Time,Type,MC,RH%,Temp(\xB0"
    "F),Dew Pt(\xB0"
    "F),GPP";
constexpr std::string_view kCsvHeaderUsCelsius =
    "Name,Job,ID#,Area,Location,Sub Location,Material,Date (US),Time,Type,MC,RH%,Temp(\xB0"
    "C),Dew Pt(\xB0"
    "C),GPK";
constexpr std::string_view kCsvHeaderEuFahrenheit =
    "Name,Job,ID#,Area,Location,Sub Location,Material,Date (EU),Time,Type,MC,RH%,Temp(\xB0"
    "F),Dew Pt(\xB0"
    "F),GPP";
constexpr std::string_view kCsvHeaderEuCelsius =
    "Name,Job,ID#,Area,Location,Sub Location,Material,Date (EU),Time,Type,MC,RH%,Temp(\xB0"
    "C),Dew Pt(\xB0"
    "C),GPK";
constexpr std::string_view kCsvLineEnd = "\r\n";

// Appends one field: as it stands, or in double quotes with inner quotes doubled when it holds
// a comma, a double quote, CR or LF.
void append_csv_field(std::string& out, std::string_view field);

// The export of job number `job` as comma-separated Windows-1252 text with CR LF line ends: the
// header line, one line per RH/T reading (by location, in time order), then one line per MC
// reading (by location and sub-location, in time order, numbered P-1.. and S-1.. per group and
// half day). celsius and international_date are the settings in force.
std::string export_csv(const ReadingStore& store, const MeterIdentity& meter, std::int32_t job,
                       std::int32_t celsius, std::int32_t international_date);

// The same text handed to write in pieces of about 256 KB. Returns 0 or the first error write
// returned (nothing more is handed on after it).
int write_csv(const ReadingStore& store, const MeterIdentity& meter, std::int32_t job,
              std::int32_t celsius, std::int32_t international_date, const ByteWriter& write);

// Writes the export to `path` with replace_file_in_pieces (regular_file.h), so a failed write
// keeps any old file. Returns 0 or the error of the failure.
int export_csv_file(const std::string& path, const ReadingStore& store, const MeterIdentity& meter,
                    std::int32_t job, std::int32_t celsius, std::int32_t international_date);

} // namespace qm
