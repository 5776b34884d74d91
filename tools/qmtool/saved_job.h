#pragma once

#include "files/save_file.h"
#include "state/app_state.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qmtool {

// Loads a save file into app as the desktop's open command does (job records cleared, the
// restored wizard and selection applied, titles and notes from its notes block). The loader's
// message goes to stderr ("qmtool: PATH: reason" when the file can't be read), and a warning
// when a damaged notes block was ignored; false when the file was not accepted. `result`, when
// given, receives the loader's result.
bool open_save_file(const std::string& path, qm::AppState& app, qm::LoadResult* result = nullptr);

// The distinct job numbers of the two job lists, ascending.
std::vector<std::int32_t> listed_jobs(const qm::ReadingStore& store);

} // namespace qmtool
