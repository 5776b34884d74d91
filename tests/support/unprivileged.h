#pragma once

// Permission bits do not bind root: tests of "no permission" run their check as "nobody".

#include <functional>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm::test {

constexpr uid_t kNobody = 65534;

// Runs check as a user whom permission bits bind: in a child that became "nobody" when this
// process is root, here otherwise. check returns 0 when every expectation held, else the number
// of the one that failed.
inline int run_unprivileged(const std::function<int()>& check) {
    if (::geteuid() != 0) {
        return check();
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(100);
        }
        ::_exit(check());
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -2;
    }
    return WEXITSTATUS(status);
}

} // namespace qm::test
