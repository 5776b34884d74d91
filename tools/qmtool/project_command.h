#pragma once

// `qmtool project`: drying projects in the visit archive. The parts of the command share these.

#include "projects/project_log.h"
#include "projects/project_store.h"
#include "text/text_format.h"
#include "tools/qmtool/options.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qmtool {

// The archive of a run: --archive PATH, else the archive's default (QUELLMARK_ARCHIVE, then the
// user's data folder).
std::string archive_path(const std::string* option);

// The archive and the project a subcommand works on.
struct ProjectSession {
    std::string archive_option; // --archive, when given
    std::unique_ptr<qm::VisitArchive> archive;
    std::unique_ptr<qm::ProjectStore> store;
    std::int64_t project = 0;
    std::string name;
    qm::ProjectDetails details; // as open_project found them

    // Opens the archive; says why on stderr when it cannot be used.
    bool open();
    // Opens the archive and finds the project NAME; says so when there is none.
    bool open_project(const std::string& project_name);
    // Says why the store refused a change; returns kExitFailure.
    int failed() const;
    // Reads the project's readings and settings and makes its logs (`celsius` for the air log);
    // says why on stderr when a read fails.
    bool read_logs(bool celsius);

    qm::ProjectReadings readings; // after read_logs
    qm::ProjectSettings settings;
    qm::ProjectLogs logs;
};

// Parses a subcommand's arguments; on a usage error prints it with the usage text. `status` is
// the exit status when it returns false (0 for --help).
bool parse_subcommand(const char* name, int argc, char** argv,
                      std::initializer_list<std::string_view> flags,
                      std::initializer_list<std::string_view> valued, std::size_t min_positional,
                      std::size_t max_positional, Arguments& args, int& status);
// Prints "qmtool project: MESSAGE" and returns kExitUsage.
int usage_error(const std::string& message);
int failure(const std::string& message);

std::optional<qm::MonitoringPoint> point_argument(const std::string& text);
using qm::number_text;
std::optional<double> number_argument(const std::string& text);
std::optional<std::int64_t> integer_argument(const std::string& text, std::int64_t low,
                                             std::int64_t high);

int run_project_label(ProjectSession& s, int argc, char** argv);
int run_project_standard(ProjectSession& s, int argc, char** argv);
int run_project_role(ProjectSession& s, int argc, char** argv);
int run_project_legend(ProjectSession& s, int argc, char** argv);
int run_project_equipment(ProjectSession& s, int argc, char** argv);
int run_project_removed(ProjectSession& s, int argc, char** argv);
int run_project_point(ProjectSession& s, int argc, char** argv);
int run_project_log(ProjectSession& s, int argc, char** argv);
int run_project_check(ProjectSession& s, int argc, char** argv);
int run_project_export(ProjectSession& s, int argc, char** argv);
int run_project_import(ProjectSession& s, int argc, char** argv);
int run_project_photo(ProjectSession& s, int argc, char** argv);
int run_project_plan(ProjectSession& s, int argc, char** argv);
int run_project_place(ProjectSession& s, int argc, char** argv);
int run_project_map(ProjectSession& s, int argc, char** argv);

} // namespace qmtool
