#pragma once

// What a pull takes from the server is checked as local input is, before anything is stored
// here: the limits that decoding a visit's bytes or reading a project's rows does not check
// already. Each check returns why a value cannot be taken, for the user ("its notes are 70000
// bytes, more than 65536"), or nothing when it can.

#include "sync/project_parts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// A visit's source bytes: as a stream file read from disk (far beyond any meter).
constexpr std::int64_t kMaxPulledSourceBytes = std::int64_t{64} << 20;
// A visit's received time: from 1970 to the start of 2200, at most a day from UTC.
constexpr std::int64_t kLatestReceivedUtc = 7258118400;
constexpr std::int64_t kMaxReceivedOffsetSeconds = 86400;
// A project's one-line texts (name, client, site, claim, labels, materials, places, legend
// codes and names), and its notes.
constexpr std::size_t kMaxPulledLineBytes = 4096;
constexpr std::size_t kMaxPulledNotesBytes = 65536;
// Units of one equipment entry, as a project file holds them.
constexpr std::int64_t kMaxEquipmentCount = 1000000;

std::optional<std::string> pulled_source_problem(std::int64_t bytes);
std::optional<std::string> pulled_received_problem(std::int64_t utc_seconds,
                                                   std::int64_t offset_seconds);
// A job's title and notes, within what a ".qmk" holds.
std::optional<std::string> pulled_titles_problem(std::string_view title, std::string_view notes);
// Every part of a project: texts, dates, equipment counts and finite standards.
std::optional<std::string> pulled_project_problem(const ProjectParts& parts);

} // namespace qm
