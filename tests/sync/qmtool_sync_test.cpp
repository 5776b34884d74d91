// qmtool server and qmtool sync as a user runs them, on archives and a cluster of the test's own.
#include "projects/project_store.h"
#include "support/archive_fixture.h"
#include "support/pg_cluster.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace qm {
namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

struct QmtoolSync : test::ArchiveFolder {
    // Runs "qmtool --archive DIR/ARCHIVE ARGS" without QUELLMARK_SERVER (ended after 60 s).
    ToolRun qmtool(const std::string& args, const std::string& archive = "archive.sqlite") {
        const std::string command =
            "timeout 60 env -u QUELLMARK_SERVER " + std::string(QM_QMTOOL_PATH) + " --archive " +
            path(archive) + " " + args + " </dev/null >" + path("stdout") + " 2>" + path("stderr");
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::read_text(path("stdout")),
                test::read_text(path("stderr"))};
    }
};

TEST_F(QmtoolSync, WithoutAUsableServerOneClearMessage) {
    const struct {
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"sync", 1, "no team server: give --server URI or set QUELLMARK_SERVER"},
        {"--server 'postgresql://anna:secret@/x?host=" + dir.string() + "' sync", 1,
         "holds a password; keep it in ~/.pgpass"},
        {"sync --server 'host=" + dir.string() + " dbname=x'", 1,
         "The team server cannot be reached: "},
        {"sync --server 'postgresql://[x' ", 1, "the server's URI: "},
        {"sync --server 'postgresql://anna:secret@[x' ", 1, "holds a password"},
        {"sync --drop-refused --reapply-refused", 2, "usage: qmtool sync"},
        {"sync --drop-refused=project/A/jobs --reapply-refused=project/A/jobs", 2,
         "both for project/A/jobs"},
        {"sync --drop-refusedX", 2, "unknown option --drop-refusedX"},
        {"server init --nothing", 2, "usage: qmtool server init"},
    };
    for (const auto& c : cases) {
        const ToolRun run = qmtool(c.args);
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
        EXPECT_EQ(run.err.find("secret"), std::string::npos) << c.args;
    }
}

TEST_F(QmtoolSync, InitSyncAndARefusedEdit) {
    test::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error();
    const std::string server = "--server '" + cluster.uri() + "' ";
    ToolRun run = qmtool(server + "server init");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("CREATE ROLE quellmark_technician NOLOGIN;"), std::string::npos);
    ASSERT_EQ(qmtool("project create Elm --client Lee", "a.sqlite").status, 0);
    ASSERT_EQ(qmtool(server + "sync", "a.sqlite").status, 0);
    run = qmtool(server + "sync", "b.sqlite");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "visits: pushed 0, pulled 0; projects: pushed 0, pulled 1; titles and "
                       "notes: pushed 0, pulled 0\n");
    ASSERT_EQ(qmtool("project set Elm --client Anna", "a.sqlite").status, 0);
    // A text of another archive is shown, never sent to the terminal as control bytes.
    ASSERT_EQ(qmtool("project set Elm --client 'Ben\x1b[2J'", "b.sqlite").status, 0);
    ASSERT_EQ(qmtool(server + "sync", "a.sqlite").status, 0);

    run = qmtool(server + "sync", "b.sqlite");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("refused: Project \u201cElm\u201d: details: changed here and on the "
                           "server since the last sync\n  key     project/Elm/details\n  mine    "
                           "name: Elm\n          client: Ben\\x1b[2J\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  server  name: Elm\n          client: Anna\n"), std::string::npos);
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_NE(run.err.find("1 edit refused"), std::string::npos) << run.err;
    // Resolved by its key: another key leaves it refused.
    EXPECT_EQ(qmtool(server + "sync --drop-refused=project/Oak/details", "b.sqlite").status, 1);
    EXPECT_EQ(qmtool(server + "sync --drop-refused=project/Elm/details", "b.sqlite").status, 0);
    EXPECT_NE(qmtool("project show Elm", "b.sqlite").out.find("Anna"), std::string::npos);
}

} // namespace
} // namespace qm
