#pragma once

#include <filesystem>
#include <string>

namespace qm {

// Where serial programs on Linux keep their device lock files.
constexpr const char* kLockDir = "/run/lock";

enum class LockStatus {
    Held,        // this process holds the device's lock file
    InUse,       // another program that is still running holds it
    Unavailable, // no lock file can be made in the lock folder (missing, read-only)
};

struct LockAttempt {
    LockStatus status = LockStatus::Unavailable;
    int pid = 0;   // InUse: the holder's PID, 0 when the file does not tell
    int error = 0; // Unavailable: errno of the failed creation
    // A lock file left by a program that has ended was removed on the way.
    bool stale_removed = false;
    std::filesystem::path path; // the lock file
};

// "LCK.." and the base name of the device the path resolves to: /dev/ttyUSB0 gives
// LCK..ttyUSB0, a link to /dev/pts/3 gives LCK..3, as every other serial program that follows
// the convention names it. A path that does not resolve is taken as it is.
std::string lock_file_name(const std::string& device);

// One device lock: the lock file holds the PID as ten ASCII digits and a newline, and this
// process holds an flock on it for as long as it holds the lock, so two programs that both use
// flock never both take it, and a lock whose PID has ended is recognised as stale. The device
// itself is not opened.
//
// Besides the lock file every process of this program holds an abstract Unix socket named after
// the lock file's path. It needs no folder, so it still keeps two downloads of this program apart
// where the lock folder is missing or read-only (the lock file cannot be made, and the flock of
// each exchange alone would let a second downloader listen between the first's exchanges); it
// ends with its process, and the holder's PID comes from the socket's credentials.
class PortLock {
public:
    PortLock() = default;
    ~PortLock();
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // Takes the lock of `device` in `lock_dir`; a held lock is released first.
    LockAttempt acquire(const std::string& device, const std::filesystem::path& lock_dir);
    // Removes the lock file (when it is still ours) and lets go of it and of the socket.
    void release();
    // This process holds the device's lock file.
    bool held() const { return fd_ >= 0; }

private:
    // Takes the lock file at `path` in `lock_dir`.
    LockAttempt try_lock_file(const std::filesystem::path& path,
                              const std::filesystem::path& lock_dir);

    int fd_ = -1;
    int socket_fd_ = -1; // the program's own lock, also held when no lock file can be made
    std::filesystem::path path_;
};

} // namespace qm
