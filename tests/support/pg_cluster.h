#pragma once

// A throwaway PostgreSQL 15 cluster for one test: initdb and pg_ctl in a temporary folder of its
// own, listening on a Unix socket there only (no TCP), run as "nobody" when the tests run as
// root. Stopped and removed with the test; no test touches a server it did not start. With
// `passwords`, every user but postgres signs in with a password (scram-sha-256 on the socket).

#include "support/unprivileged.h"
#include "sync/pg_db.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qm::test {

class PgCluster {
public:
    static constexpr const char* kBin = "/usr/lib/postgresql/15/bin";

    explicit PgCluster(bool passwords = false) {
        if (!std::filesystem::exists(std::string(kBin) + "/initdb")) {
            error_ = std::string("no PostgreSQL 15 server programs in ") + kBin +
                     " (scripts/install-deps.sh installs postgresql-15)";
            return;
        }
        std::string pattern = "/tmp/qmpg-XXXXXX"; // short: a socket's path is at most 107 bytes
        if (::mkdtemp(pattern.data()) == nullptr) {
            error_ = "no temporary folder";
            return;
        }
        dir_ = pattern;
        if (::geteuid() == 0 && ::chown(dir_.c_str(), kNobody, kNobody) != 0) {
            error_ = "cannot hand the folder to nobody";
            return;
        }
        if (run({"initdb", "-D", data(), "-A", "trust", "-U", "postgres", "--no-sync", "-E", "UTF8",
                 "--locale=C.UTF-8"}) != 0) {
            error_ = "initdb failed (see " + dir_ + "/log)";
            return;
        }
        if (passwords) {
            // Rewritten in place: the file stays the server's.
            std::ofstream(data() + "/pg_hba.conf", std::ios::trunc)
                << "local all postgres trust\nlocal all all scram-sha-256\n";
        }
        ok_ = start();
        if (!ok_) {
            error_ = "the server did not start (see " + dir_ + "/log)";
        }
    }
    ~PgCluster() {
        if (!dir_.empty()) {
            stop_immediately();
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
        }
    }
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }

    std::string conninfo(const std::string& user = "postgres") const {
        return "host=" + dir_ + " port=5432 dbname=postgres user=" + user;
    }
    std::string uri(const std::string& user = "postgres") const {
        return "postgresql://" + user + "@/postgres?host=" + dir_ + "&port=5432";
    }

    bool start() {
        return run({"pg_ctl", "-D", data(), "-l", dir_ + "/log", "-w", "-t", "60", "-o",
                    "-k " + dir_ + " -c listen_addresses= -p 5432 -F", "start"}) == 0;
    }
    // As a crash or a pulled plug: no shutdown checkpoint, connections cut.
    bool stop_immediately() {
        return run({"pg_ctl", "-D", data(), "-m", "immediate", "-w", "-t", "60", "stop"}) == 0;
    }

    // A connection as `user`.
    PgDb connect(const std::string& user = "postgres") const {
        PgDb db;
        db.connect(conninfo(user), 10);
        return db;
    }

private:
    std::string data() const { return dir_ + "/data"; }

    // Runs a server program as nobody (when root), without standard input, its output in log.
    int run(const std::vector<std::string>& args) const {
        const pid_t child = ::fork();
        if (child < 0) {
            return -1;
        }
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
                ::_exit(100);
            }
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open((dir_ + "/log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
                ::dup2(out, 2) < 0 || ::chdir(dir_.c_str()) != 0) {
                ::_exit(101);
            }
            const std::string program = std::string(kBin) + "/" + args[0];
            std::vector<char*> argv;
            for (const std::string& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        int status = 0;
        if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
            return -2;
        }
        return WEXITSTATUS(status);
    }

    std::string dir_;
    bool ok_ = false;
    std::string error_;
};

} // namespace qm::test
