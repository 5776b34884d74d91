#include "link/port_lock.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

// A lock file that has just been created may not hold its PID yet.
constexpr auto kLockBeingWritten = std::chrono::seconds{1};
constexpr int kAttempts = 3;

bool alive(int pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// The PID in a lock file: leading blanks, decimal digits, an optional newline; 0 otherwise.
int read_pid(int fd) {
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) {
        return 0;
    }
    long pid = 0;
    ssize_t i = 0;
    while (i < n && text[i] == ' ') {
        ++i;
    }
    const ssize_t digits = i;
    while (i < n && text[i] >= '0' && text[i] <= '9' && pid < 1'000'000'000) {
        pid = pid * 10 + (text[i] - '0');
        ++i;
    }
    const bool rest_ok = i == n || (text[i] == '\n' && i + 1 == n);
    return i > digits && rest_ok ? static_cast<int>(pid) : 0;
}

bool same_file(int fd, const std::filesystem::path& path) {
    struct stat by_fd {};
    struct stat by_path {};
    return ::fstat(fd, &by_fd) == 0 && ::lstat(path.c_str(), &by_path) == 0 &&
           by_fd.st_dev == by_path.st_dev && by_fd.st_ino == by_path.st_ino;
}

bool just_created(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return false;
    }
    const auto modified = std::chrono::system_clock::from_time_t(st.st_mtime);
    return std::chrono::system_clock::now() - modified < kLockBeingWritten;
}

// The holder of an existing lock file: InUse with its PID, or Held when nobody holds it any
// more (the file was stale and has been removed; the caller tries again).
LockAttempt examine_existing(const std::filesystem::path& path) {
    LockAttempt a;
    a.path = path;
    a.status = LockStatus::InUse;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // Gone in the meantime: free. Anything else (a link planted in its place): not ours.
        a.status = errno == ENOENT ? LockStatus::Held : LockStatus::InUse;
        return a;
    }
    const bool flocked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    a.pid = read_pid(fd);
    const bool holder_running = a.pid > 0 && a.pid != ::getpid() && alive(a.pid);
    if (!flocked || holder_running || (a.pid == 0 && just_created(fd))) {
        ::close(fd);
        return a;
    }
    // Nobody holds the flock and the PID has ended: the lock is stale.
    if (same_file(fd, path) && ::unlink(path.c_str()) == 0) {
        a.stale_removed = true;
    }
    ::close(fd);
    a.status = LockStatus::Held;
    a.pid = 0;
    return a;
}

} // namespace

std::string lock_file_name(const std::string& device) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(device, ec);
    const std::filesystem::path name = ec ? std::filesystem::path(device) : real;
    return "LCK.." + name.filename().string();
}

PortLock::~PortLock() {
    release();
}

void PortLock::release() {
    if (fd_ < 0) {
        return;
    }
    if (same_file(fd_, path_)) {
        ::unlink(path_.c_str());
    }
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

LockAttempt PortLock::acquire(const std::string& device, const std::filesystem::path& lock_dir) {
    release();
    const std::filesystem::path path = lock_dir / lock_file_name(device);
    // The PID goes into a file of its own first and the lock file appears with it in one step
    // (a hard link), so no other program ever reads an empty lock file of ours.
    const std::filesystem::path temp = lock_dir / ("LTMP." + std::to_string(::getpid()));
    bool stale_removed = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ::unlink(temp.c_str());
        const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int error = errno;
            // Without a lock file of our own, a running holder of an existing one still counts.
            LockAttempt other = examine_existing(path);
            if (other.status == LockStatus::InUse) {
                return other;
            }
            return {LockStatus::Unavailable, 0, error, stale_removed, path};
        }
        char text[16];
        const int n = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
        const bool written = ::write(fd, text, static_cast<std::size_t>(n)) == n;
        ::fchmod(fd, 0644); // readable by every program, whatever the umask
        ::flock(fd, LOCK_EX | LOCK_NB);
        const int linked = written ? ::link(temp.c_str(), path.c_str()) : -1;
        const int error = written ? errno : ENOSPC;
        ::unlink(temp.c_str());
        if (linked == 0) {
            fd_ = fd;
            path_ = path;
            return {LockStatus::Held, 0, 0, stale_removed, path};
        }
        ::close(fd);
        if (error != EEXIST) {
            return {LockStatus::Unavailable, 0, error, stale_removed, path};
        }
        LockAttempt other = examine_existing(path);
        if (other.status == LockStatus::InUse) {
            return other;
        }
        stale_removed = stale_removed || other.stale_removed;
    }
    return {LockStatus::InUse, 0, 0, stale_removed, path};
}

} // namespace qm
