// qmtool server and qmtool sync: the team server.
#include "sync/server_schema.h"
#include "sync/team_sync.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"

#include <csignal>
#include <cstdio>

namespace qmtool {

namespace {

constexpr const char* kServerUsage =
    "usage: qmtool server init [URI] [--create-roles]\n"
    "  creates the team server's schema or brings it up to date, and prints the SQL that\n"
    "  creates the roles quellmark_technician and quellmark_admin (--create-roles runs it)\n"
    "  URI: a libpq URI or \"service=NAME\"; by default --server or QUELLMARK_SERVER\n";

constexpr const char* kSyncUsage =
    "usage: qmtool sync [--server URI] [--drop-refused | --reapply-refused]\n"
    "  pushes the visits and project changes the team server lacks and pulls those this\n"
    "  archive lacks; lists project edits the server refused (made on an older revision)\n"
    "  --drop-refused     take the server's values for refused edits\n"
    "  --reapply-refused  apply refused edits again on the server's current revision\n";

volatile std::sig_atomic_t g_interrupted = 0;

void on_interrupt(int) {
    g_interrupted = 1;
}

class TerminalObserver : public qm::SyncObserver {
public:
    void progress(std::string_view step, std::size_t done, std::size_t total) override {
        std::fprintf(stderr, "qmtool: %.*s visit %zu of %zu\n", static_cast<int>(step.size()),
                     step.data(), done + 1, total);
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

void print_details(const char* who, const qm::ProjectDetails& d, std::size_t jobs) {
    std::printf("  %-7s name \"%s\", client \"%s\", site \"%s\", claim \"%s\", notes \"%s\", "
                "%zu jobs attached\n",
                who, d.name.c_str(), d.client.c_str(), d.site.c_str(), d.claim.c_str(),
                d.notes.c_str(), jobs);
}

// Prints what a sync did and returns its exit status.
int print_report(const qm::SyncReport& report) {
    std::printf("pushed %zu visits, pulled %zu visits; projects: pushed %zu, pulled %zu\n",
                report.pushed, report.pulled, report.projects_pushed, report.projects_pulled);
    for (const qm::RefusedEdit& r : report.refused) {
        std::printf("refused: project \"%s\": %s\n", r.project.c_str(), r.reason.c_str());
        print_details("yours", r.mine, r.my_jobs);
        print_details("server", r.theirs, r.their_jobs);
    }
    if (report.cancelled) {
        std::fprintf(stderr, "qmtool: sync cancelled; what was sent is kept, the next sync "
                             "completes it\n");
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
                     "qmtool: %zu project edits refused (made on an older revision); run "
                     "qmtool sync --reapply-refused to apply yours again, or --drop-refused to "
                     "take the server's\n",
                     report.refused.size());
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

int run_sync(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parse_arguments(argc, argv, {"--drop-refused", "--reapply-refused"}, {"--server"}, args,
                         error) ||
        args.help || !args.positional.empty() ||
        (args.has("--drop-refused") && args.has("--reapply-refused"))) {
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
    const qm::RefusedPolicy policy = args.has("--drop-refused")      ? qm::RefusedPolicy::Drop
                                     : args.has("--reapply-refused") ? qm::RefusedPolicy::Reapply
                                                                     : qm::RefusedPolicy::Keep;
    const qm::SyncReport report = qm::sync_archive(db, *opened.archive, observer, policy);
    return finish_output(print_report(report));
}

} // namespace qmtool
