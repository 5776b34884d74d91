// One sync of an archive: its lock, then visits, projects and titles, each phase only when the
// one before finished and the user did not cancel.
#include "sync/team_sync.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace qm {

SyncLock::SyncLock(const std::string& archive_path) {
    // A file of its own beside the archive: the archive's file is opened by SQLite alone (a
    // close of it here would drop the POSIX locks SQLite holds on it).
    const std::string path = archive_path + ".sync-lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error_ = "the sync's lock file " + path + " cannot be opened: " + std::strerror(errno);
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        error_ = errno == EWOULDBLOCK ? kSyncRunning
                                      : "the sync's lock file " + path +
                                            " cannot be locked: " + std::strerror(errno);
        ::close(std::exchange(fd_, -1));
    }
}

SyncLock::~SyncLock() {
    if (fd_ >= 0) {
        ::close(fd_); // releases the lock
    }
}

SyncReport sync_archive(PgDb& db, VisitArchive& archive, SyncObserver& observer,
                        const RefusedChoices& choices) {
    SyncReport report;
    if (archive.read_only()) {
        report.error = "the archive is opened read-only";
        return report;
    }
    const SyncLock lock(archive.path());
    if (!lock.held()) {
        report.error = lock.error();
        return report;
    }
    // A cancel seen only once a phase is over still stops the sync before the next one.
    const auto go_on = [&] {
        report.cancelled = report.cancelled || observer.cancelled();
        return report.error.empty() && !report.cancelled;
    };
    std::vector<VisitSummary> visits;
    sync_visits(db, archive, observer, report, visits);
    if (report.ok) {
        report.error.clear();
    }
    if (report.ok && go_on()) {
        sync_projects(db, archive, visits, observer, choices, report);
        if (go_on()) {
            sync_titles(db, archive, visits, choices, report);
        }
        if (go_on()) {
            sync_evidence(db, archive, visits, choices, report);
        }
    }
    report.ok = report.ok && report.error.empty() && !report.cancelled;
    return report;
}

} // namespace qm
