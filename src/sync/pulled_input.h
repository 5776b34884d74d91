#pragma once

// What a pull takes from the server is checked as local input is, before anything is stored
// here: a visit's size, time and texts by the archive's own checks, and the limits that reading
// a project's rows does not check already. Each check returns why a value cannot be taken, for the
// user ("its notes are 70000 bytes, more than 65536"), or nothing when it can.

#include "sync/project_parts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// A project's one-line texts (name, client, site, claim, labels, materials, places, legend
// codes and names), and its notes.
constexpr std::size_t kMaxPulledLineBytes = 4096;
constexpr std::size_t kMaxPulledNotesBytes = 65536;
// Units of one equipment entry, as a project file holds them.
constexpr std::int64_t kMaxEquipmentCount = 1000000;

// A visit's source size and received time as the server gives them, by check_source_size and
// check_visit_input (visit_input.h), as every visit that comes in.
std::optional<std::string> pulled_visit_problem(std::int64_t bytes, std::int64_t utc_seconds,
                                                std::int64_t offset_seconds);
// Every part of a project: texts, dates, equipment counts and finite standards.
std::optional<std::string> pulled_project_problem(const ProjectParts& parts);

} // namespace qm
