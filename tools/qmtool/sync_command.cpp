// qmtool server and qmtool sync: the team server.
#include "sync/server_schema.h"
#include "sync/team_sync.h"
#include "text/text_format.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>

namespace qmtool {

namespace {

constexpr const char* kServerUsage =
    "usage: qmtool server init [URI] [--create-roles]\n"
    "  creates the team server's schema or brings it up to date, and prints the SQL that\n"
    "  creates the roles quellmark_technician and quellmark_admin (--create-roles runs it)\n"
    "  URI: a libpq URI or \"service=NAME\"; by default --server or QUELLMARK_SERVER\n";

constexpr const char* kSyncUsage =
    "usage: qmtool sync [--server URI] [--drop-refused[=KEY]]... [--reapply-refused[=KEY]]...\n"
    "  pushes the visits, project changes and titles the team server lacks and pulls those\n"
    "  this archive lacks; lists each edit the server refused (changed there too) by its KEY\n"
    "  --drop-refused[=KEY]     take the server's value for the refused edit KEY (all: no KEY)\n"
    "  --reapply-refused[=KEY]  apply the refused edit KEY again over the server's value\n";

volatile std::sig_atomic_t g_interrupted = 0;

void on_interrupt(int) {
    g_interrupted = 1;
}

class TerminalObserver : public qm::SyncObserver {
public:
    void progress(std::string_view step, std::size_t done, std::size_t total) override {
        if (step == "projects") {
            std::fprintf(stderr, "qmtool: project %zu of %zu\n", done + 1, total);
        } else {
            std::fprintf(stderr, "qmtool: %.*s visit %zu of %zu\n", static_cast<int>(step.size()),
                         step.data(), done + 1, total);
        }
    }
    bool cancelled() override { return g_interrupted != 0; }
};

// Connects to the server the arguments or QUELLMARK_SERVER name; says why not on stderr.
bool connect(const Arguments& args, const std::string* positional, qm::PgDb& db) {
    const std::string* option = args.value("--server");
    const std::string conninfo = qm::server_conninfo(positional != nullptr ? *positional
                                                     : option              ? *option
                                                                           : "");
    if (conninfo.empty()) {
        std::fprintf(stderr, "qmtool: no team server: give --server URI or set "
                             "QUELLMARK_SERVER\n");
        return false;
    }
    std::string error;
    const auto has_password = qm::conninfo_has_password(conninfo, error);
    if (!has_password) {
        std::fprintf(stderr, "qmtool: the server's URI: %s\n", error.c_str());
        return false;
    }
    if (*has_password) {
        std::fprintf(stderr, "qmtool: the server's URI holds a password; keep it in ~/.pgpass "
                             "(or PGPASSFILE, or a service file) instead\n");
        return false;
    }
    if (!db.connect(conninfo, 10)) {
        std::fprintf(stderr, "qmtool: %s\n", qm::server_unreachable_message(db.error()).c_str());
        return false;
    }
    return true;
}

// Prints a text's lines, the first after `label`, the others under it. Texts come from other
// people's archives: their control bytes are shown, never sent to the terminal.
void print_lines(const char* label, const std::string& text) {
    std::size_t at = 0;
    do {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::printf("  %-8s%s\n", at == 0 ? label : "",
                    qm::escape_control_bytes(text.substr(at, end - at)).c_str());
        at = end + 1;
    } while (at < text.size());
}

// Prints what a sync did and returns its exit status.
int print_report(const qm::SyncReport& report) {
    std::printf("visits: pushed %zu, pulled %zu; projects: pushed %zu, pulled %zu; "
                "titles and notes: pushed %zu, pulled %zu\n",
                report.pushed, report.pulled, report.projects_pushed, report.projects_pulled,
                report.titles_pushed, report.titles_pulled);
    for (const qm::RefusedEdit& r : report.refused) {
        std::printf("refused: %s: %s\n", qm::escape_control_bytes(r.what).c_str(),
                    qm::escape_control_bytes(r.reason).c_str());
        print_lines("key", r.key);
        print_lines("mine", r.mine_text);
        print_lines("server", r.theirs_text);
    }
    for (const std::string& line : report.skipped) {
        std::fprintf(stderr, "qmtool: %s\n", qm::escape_control_bytes(line).c_str());
    }
    if (report.cancelled) {
        std::fprintf(stderr, "qmtool: sync cancelled; what was sent is kept, the next sync "
                             "completes it\n");
        return kExitFailure;
    }
    if (report.error == qm::kSyncRunning) {
        std::fprintf(stderr, "qmtool: %s; this one did not start\n", qm::kSyncRunning);
        return kExitFailure;
    }
    if (!report.ok) {
        std::fprintf(stderr,
                     "qmtool: sync stopped: %s\nWhat was sent is kept; the next sync "
                     "completes it.\n",
                     report.error.c_str());
        return kExitFailure;
    }
    if (!report.refused.empty()) {
        std::fprintf(stderr,
                     "qmtool: %zu %s refused (changed here and on the server); run qmtool "
                     "sync --reapply-refused=KEY to apply yours again, or --drop-refused=KEY to "
                     "take the server's (without =KEY: all of them)\n",
                     report.refused.size(), report.refused.size() == 1 ? "edit" : "edits");
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

int run_server(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parse_arguments(argc, argv, {"--create-roles"}, {"--server"}, args, error) || args.help ||
        args.positional.empty() || args.positional[0] != "init" || args.positional.size() > 2) {
        if (!error.empty()) {
            std::fprintf(stderr, "qmtool server: %s\n", error.c_str());
        }
        std::fputs(kServerUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    qm::PgDb db;
    if (!connect(args, args.positional.size() == 2 ? &args.positional[1] : nullptr, db)) {
        return kExitFailure;
    }
    if (!qm::migrate_server(db, error)) {
        std::fprintf(stderr, "qmtool: the server's schema: %s\n", error.c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "qmtool: the server's schema is at version %d\n",
                 qm::kServerSchemaVersion);
    if (args.has("--create-roles")) {
        if (!db.exec(qm::roles_sql())) {
            std::fprintf(stderr, "qmtool: the roles: %s\n", db.error().c_str());
            return kExitFailure;
        }
        std::fprintf(stderr, "qmtool: the roles quellmark_technician and quellmark_admin are "
                             "created\n");
        return kExitOk;
    }
    std::printf("-- The roles of a team (run once, as a user that may create roles):\n%s",
                qm::roles_sql().c_str());
    return finish_output(kExitOk);
}

namespace {

// Takes --drop-refused[=KEY] and --reapply-refused[=KEY] out of the arguments into `choices`;
// false (with `error`) when one edit, or all, would be both dropped and applied again.
bool take_choices(int argc, char** argv, std::vector<char*>& rest, qm::RefusedChoices& choices,
                  std::string& error) {
    std::optional<qm::RefusedPolicy> all;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool drop = arg.starts_with("--drop-refused");
        const std::string_view name = drop ? "--drop-refused" : "--reapply-refused";
        if (arg == "--" || !arg.starts_with(name) ||
            (arg.size() > name.size() && arg[name.size()] != '=')) {
            rest.push_back(argv[i]);
            continue;
        }
        const auto policy = drop ? qm::RefusedPolicy::Drop : qm::RefusedPolicy::Reapply;
        if (arg.size() == name.size()) {
            if (all && *all != policy) {
                error = "--drop-refused and --reapply-refused both for all refused edits";
                return false;
            }
            all = policy;
            continue;
        }
        const std::string key(arg.substr(name.size() + 1));
        const auto [at, added] = choices.by_key.emplace(key, policy);
        if (!added && at->second != policy) {
            error = "--drop-refused and --reapply-refused both for " + key;
            return false;
        }
    }
    choices.others = all.value_or(qm::RefusedPolicy::Keep);
    return true;
}

} // namespace

int run_sync(int argc, char** argv) {
    Arguments args;
    std::string error;
    std::vector<char*> rest;
    qm::RefusedChoices choices;
    if (!take_choices(argc, argv, rest, choices, error) ||
        !parse_arguments(static_cast<int>(rest.size()), rest.data(), {}, {"--server"}, args,
                         error) ||
        args.help || !args.positional.empty()) {
        if (!error.empty()) {
            std::fprintf(stderr, "qmtool sync: %s\n", error.c_str());
        }
        std::fputs(kSyncUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    qm::PgDb db;
    if (!connect(args, nullptr, db)) {
        return kExitFailure;
    }
    const auto version = qm::server_schema_version(db);
    if (!version || *version != qm::kServerSchemaVersion) {
        std::fprintf(stderr, "qmtool: the server's schema is %s; run qmtool server init\n",
                     !version        ? db.error().c_str()
                     : *version == 0 ? "missing"
                                     : "another version");
        return kExitFailure;
    }
    const qm::OpenedArchive opened = qm::open_archive(qm::default_archive_path());
    if (!opened.archive) {
        std::fprintf(stderr, "qmtool: %s\n", opened.message.c_str());
        return kExitFailure;
    }
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    ::sigaction(SIGINT, &action, nullptr);
    TerminalObserver observer;
    const qm::SyncReport report = qm::sync_archive(db, *opened.archive, observer, choices);
    return finish_output(print_report(report));
}

} // namespace qmtool
