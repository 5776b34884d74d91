#include "link/port_lock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

enum class Existing {
    InUse, // a running program holds it
    Free,  // gone, or stale and removed: try again
    Stuck, // stale, but this user may not remove it
};

// Looks at an existing lock file: who holds it, or whether it is stale (nobody holds its flock
// and its PID has ended, or it names no PID and is not new).
Existing examine_existing(const std::filesystem::path& path, int& pid, bool& stale_removed) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // Gone in the meantime, or no lock folder at all: free. Anything else (a link planted in
        // its place): not ours.
        return errno == ENOENT || errno == ENOTDIR ? Existing::Free : Existing::InUse;
    }
    const bool flocked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    pid = read_pid(fd);
    const bool holder_running = pid > 0 && pid != ::getpid() && alive(pid);
    if (!flocked || holder_running || (pid == 0 && just_created(fd))) {
        ::close(fd);
        return Existing::InUse;
    }
    pid = 0;
    Existing result = Existing::Free;
    if (same_file(fd, path)) {
        if (::unlink(path.c_str()) == 0) {
            stale_removed = true;
        } else if (errno != ENOENT) {
            result = Existing::Stuck;
        }
    }
    ::close(fd);
    return result;
}

// The abstract socket address of the program's lock of one lock file: its path when that fits,
// else a hash of it.
socklen_t program_lock_address(const std::filesystem::path& lock_file, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    char* const name = address.sun_path + 1; // sun_path[0] = 0: abstract
    const std::size_t room = sizeof address.sun_path - 1;
    int length = std::snprintf(name, room, "quellmark-port-lock:%s", lock_file.c_str());
    if (length < 0 || static_cast<std::size_t>(length) >= room) {
        std::uint64_t hash = 14695981039346656037ull; // FNV-1a
        for (const char c : "quellmark-port-lock:" + lock_file.string()) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        std::memset(name, 0, room);
        length = std::snprintf(name, room, "quellmark-port-lock#%016llx",
                               static_cast<unsigned long long>(hash));
    }
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 +
                                  static_cast<std::size_t>(length));
}

// The PID of the process that listens on the address; 0 when it cannot be told.
int program_lock_holder(const sockaddr_un& address, socklen_t length) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return 0;
    }
    int pid = 0;
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
        ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0) {
        pid = credentials.pid;
    }
    ::close(fd);
    return pid;
}

constexpr int kProgramLockTaken = -2;

// Takes the program's lock of a lock file: the socket, kProgramLockTaken when another process
// holds it (its PID in `holder`), or -1 when sockets cannot be used (the lock file decides alone).
int take_program_lock(const std::filesystem::path& lock_file, int& holder) {
    sockaddr_un address{};
    const socklen_t length = program_lock_address(lock_file, address);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
        ::listen(fd, SOMAXCONN) == 0) {
        return fd;
    }
    const int error = errno;
    ::close(fd);
    if (error != EADDRINUSE) {
        return -1;
    }
    holder = program_lock_holder(address, length);
    return kProgramLockTaken;
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
    if (socket_fd_ >= 0) {
        ::close(socket_fd_);
        socket_fd_ = -1;
    }
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
    LockAttempt a;
    a.path = lock_dir / lock_file_name(device);
    socket_fd_ = take_program_lock(a.path, a.pid);
    if (socket_fd_ == kProgramLockTaken) {
        socket_fd_ = -1;
        a.status = LockStatus::InUse;
        return a;
    }
    a = try_lock_file(a.path, lock_dir);
    if (a.status == LockStatus::InUse) {
        release();
    }
    return a;
}

LockAttempt PortLock::try_lock_file(const std::filesystem::path& path,
                                    const std::filesystem::path& lock_dir) {
    LockAttempt a;
    a.path = path;
    // The PID goes into a file of its own first and the lock file appears with it in one step
    // (a hard link), so no other program ever reads an empty lock file of ours.
    const std::filesystem::path temp = lock_dir / ("LTMP." + std::to_string(::getpid()));
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ::unlink(temp.c_str());
        const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        int error = errno;
        bool linked = false;
        if (fd >= 0) {
            char text[16];
            const int n = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
            const bool written = ::write(fd, text, static_cast<std::size_t>(n)) == n;
            ::fchmod(fd, 0644); // readable by every program, whatever the umask
            ::flock(fd, LOCK_EX | LOCK_NB);
            linked = written && ::link(temp.c_str(), a.path.c_str()) == 0;
            error = written ? errno : ENOSPC;
            ::unlink(temp.c_str());
            if (linked) {
                fd_ = fd;
                path_ = a.path;
                a.status = LockStatus::Held;
                return a;
            }
            ::close(fd);
        }
        // Whether or not a lock file of our own can be made, a running holder counts.
        switch (examine_existing(a.path, a.pid, a.stale_removed)) {
        case Existing::InUse:
            a.status = LockStatus::InUse;
            return a;
        case Existing::Stuck:
            a.status = LockStatus::Unavailable;
            a.error = EPERM;
            return a;
        case Existing::Free:
            break;
        }
        if (fd < 0 || error != EEXIST) {
            a.status = LockStatus::Unavailable;
            a.error = error;
            return a;
        }
    }
    a.status = LockStatus::InUse;
    return a;
}

} // namespace qm
