#include "files/regular_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

constexpr std::string_view kNotRegularFileText = "Not a regular file";
constexpr mode_t kNewFileMode = 0644;
constexpr mode_t kPermissionBits = 07777;
constexpr int kTempNameAttempts = 100;
// As many links as the kernel follows in one path.
constexpr int kMaxLinkDepth = 40;
constexpr std::size_t kTempHexDigits = 8;
constexpr std::string_view kTempSuffix = ".tmp";

// 0 for a regular file, else the error that refuses the kind of file.
int kind_error(mode_t mode) {
    if (S_ISREG(mode)) {
        return 0;
    }
    return S_ISDIR(mode) ? EISDIR : kNotRegularFile;
}

// Opens `path` for reading once stat has shown it a regular file, so that a device is never
// opened at all: 0 with the descriptor in `fd`, else the error.
int open_if_regular(const std::string& path, int& fd) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno;
    }
    if (const int error = kind_error(info.st_mode); error != 0) {
        return error;
    }
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    return fd < 0 ? errno : 0;
}

std::string directory_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a write to `path` lands in: symbolic links followed to the end (the last one may
// name a file that does not exist yet). `exists` tells whether `info` describes it.
int resolve_target(const std::string& path, std::string& target, struct stat& info, bool& exists) {
    target = path;
    for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
        if (::lstat(target.c_str(), &info) != 0) {
            exists = false;
            return errno == ENOENT ? 0 : errno;
        }
        if (!S_ISLNK(info.st_mode)) {
            exists = true;
            return 0;
        }
        char text[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), text, sizeof text);
        if (n < 0) {
            return errno;
        }
        if (static_cast<std::size_t>(n) == sizeof text) {
            return ENAMETOOLONG;
        }
        const std::string link(text, static_cast<std::size_t>(n));
        target = link.starts_with('/') ? link : directory_of(target) + "/" + link;
    }
    return ELOOP;
}

// Removes the temporaries of `target` that no running save holds: a save keeps its temporary
// locked until the rename, so one that can be locked was left by a program that died.
void remove_stale_temporaries(const std::string& target) {
    const std::string name = name_of(target);
    DIR* dir = ::opendir(directory_of(target).c_str());
    if (dir == nullptr) {
        return;
    }
    const int dir_fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!is_temporary_of(entry->d_name, name)) {
            continue;
        }
        const int fd = ::openat(dir_fd, entry->d_name,
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(dir_fd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
}

// Whether the name `path` still names the open file `fd` (another program's clean-up may have
// removed it).
bool names_file(const std::string& path, int fd) {
    struct stat by_name {};
    struct stat open_file {};
    return ::stat(path.c_str(), &by_name) == 0 && ::fstat(fd, &open_file) == 0 &&
           by_name.st_dev == open_file.st_dev && by_name.st_ino == open_file.st_ino;
}

// Creates and locks a new temporary file beside `target`; its descriptor, or -1 with errno set.
// Another program's clean-up may take a temporary for a stale one in the moment between its
// creation and its lock and remove it: such a temporary is given up for a new one.
int create_temp_beside(const std::string& target, mode_t mode, std::string& temp_path) {
    const auto slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::random_device random;
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08x%s", static_cast<unsigned>(random()),
                      kTempSuffix.data());
        temp_path = dir + "." + name_of(target) + suffix;
        const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX); // marks it as in use until it is renamed or removed
            if (names_file(temp_path, fd)) {
                return fd;
            }
            ::close(fd);
            continue;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

int write_all(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Gives the temporary the owner and mode of the file it replaces. The owner is kept where the
// system lets this user keep it; the mode is set after it, as a change of owner clears set-id
// bits.
int keep_owner_and_mode(int fd, const struct stat& old) {
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
        [[maybe_unused]] const bool kept = ::fchown(fd, old.st_uid, old.st_gid) == 0 ||
                                           ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
    }
    return ::fchmod(fd, old.st_mode & kPermissionBits) == 0 ? 0 : errno;
}

} // namespace

std::string file_error_text(int error) {
    return error == kNotRegularFile ? std::string(kNotRegularFileText) : std::strerror(error);
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int RegularFile::open(const std::string& path) {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    int fd = -1;
    if (const int error = open_if_regular(path, fd); error != 0) {
        return error;
    }
    // The path may name another file by now.
    struct stat info {};
    int error = ::fstat(fd, &info) != 0 ? errno : kind_error(info.st_mode);
    if (error != 0) {
        ::close(fd);
        return error;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return 0;
}

int RegularFile::read_at(std::uint64_t offset, std::size_t length,
                         std::vector<std::uint8_t>& out) const {
    if (fd_ < 0) {
        return EBADF;
    }
    const std::size_t start = out.size();
    try {
        out.resize(start + length);
    } catch (const std::bad_alloc&) {
        return ENOMEM; // a file larger than the memory left is a read error, not a crash
    }
    std::size_t got = 0;
    const int error = read_into(offset, std::span(out).subspan(start), got);
    out.resize(start + got);
    return error;
}

int RegularFile::read_into(std::uint64_t offset, std::span<std::uint8_t> into,
                           std::size_t& got) const {
    got = 0;
    if (fd_ < 0) {
        return EBADF;
    }
    while (got < into.size()) {
        const ssize_t n =
            ::pread(fd_, into.data() + got, into.size() - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : 0;
        }
        got += static_cast<std::size_t>(n);
    }
    return 0;
}

int read_regular_file(const std::string& path, std::size_t max_bytes,
                      std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    RegularFile file;
    if (const int error = file.open(path); error != 0) {
        return error;
    }
    if (file.size() > max_bytes) {
        return EFBIG;
    }
    return file.read_at(0, static_cast<std::size_t>(file.size()), bytes);
}

bool is_temporary_of(std::string_view entry, std::string_view name) {
    const std::size_t fixed = 2 + kTempHexDigits + kTempSuffix.size(); // two dots, hex, ".tmp"
    if (name.empty() || entry.size() != name.size() + fixed || entry[0] != '.' ||
        entry.substr(1, name.size()) != name || entry[1 + name.size()] != '.' ||
        !entry.ends_with(kTempSuffix)) {
        return false;
    }
    const std::string_view hex = entry.substr(2 + name.size(), kTempHexDigits);
    return hex.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

int replace_file_contents(const std::string& path, std::span<const std::uint8_t> bytes) {
    return replace_file_in_pieces(path, [bytes](const ByteWriter& write) { return write(bytes); });
}

int replace_file_in_pieces(const std::string& path,
                           const std::function<int(const ByteWriter&)>& produce) {
    FileReplacement replacement;
    const int error = replacement.prepare(path, produce);
    return error != 0 ? error : replacement.commit(ReplaceMode::Replace);
}

FileReplacement::~FileReplacement() {
    discard();
}

void FileReplacement::discard() {
    if (fd_ >= 0) {
        ::unlink(temp_path_.c_str());
        ::close(fd_);
        fd_ = -1;
    }
}

int FileReplacement::prepare(const std::string& path,
                             const std::function<int(const ByteWriter&)>& produce) {
    discard();
    struct stat old {};
    bool exists = false;
    if (const int error = resolve_target(path, target_, old, exists); error != 0) {
        return error;
    }
    if (exists) {
        if (const int error = kind_error(old.st_mode); error != 0) {
            return error;
        }
        // Renaming over a file the user may not write would replace a file marked read-only.
        if (::access(target_.c_str(), W_OK) != 0) {
            return errno;
        }
    }
    remove_stale_temporaries(target_);
    // A replacement starts private and takes the old file's mode before it holds any data.
    fd_ = create_temp_beside(target_, exists ? 0600 : kNewFileMode, temp_path_);
    if (fd_ < 0) {
        return errno;
    }
    int error = exists ? keep_owner_and_mode(fd_, old) : 0;
    if (error == 0) {
        const int fd = fd_;
        error = produce([fd](std::span<const std::uint8_t> piece) { return write_all(fd, piece); });
    }
    if (error == 0 && ::fsync(fd_) != 0) {
        error = errno;
    }
    if (error != 0) {
        discard();
    }
    return error;
}

int FileReplacement::commit(ReplaceMode mode) {
    if (fd_ < 0) {
        return EBADF;
    }
    int error = 0;
    if (mode == ReplaceMode::Replace) {
        error = ::rename(temp_path_.c_str(), target_.c_str()) == 0 ? 0 : errno;
    } else if (::renameat2(AT_FDCWD, temp_path_.c_str(), AT_FDCWD, target_.c_str(),
                           RENAME_NOREPLACE) != 0) {
        error = errno;
        // A file system without the flag: a hard link is made only where no name stands.
        if (error == EINVAL && ::link(temp_path_.c_str(), target_.c_str()) == 0) {
            ::unlink(temp_path_.c_str());
            error = 0;
        } else if (error == EINVAL) {
            error = errno;
        }
    }
    if (error != 0) {
        discard();
        return error;
    }
    ::close(fd_); // releases the lock only now, so no other save takes it for a stale one
    fd_ = -1;
    // Make the rename itself durable; the file is already in place if this fails.
    const int dir_fd = ::open(directory_of(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
        ::fsync(dir_fd);
        ::close(dir_fd);
    }
    return 0;
}

int UpdateLock::lock(const std::string& path) {
    unlock();
    constexpr int kAttempts = 1000;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        int fd = -1;
        if (const int error = open_if_regular(path, fd); error != 0) {
            return error;
        }
        int error = 0;
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error = errno;
                break;
            }
        }
        // The lock counts only on the file that the name still stands for: an update that held
        // it before has put a new file in place of the one locked.
        if (error == 0 && names_file(path, fd)) {
            fd_ = fd;
            return 0;
        }
        ::close(fd);
        if (error != 0) {
            return error;
        }
    }
    return EAGAIN;
}

void UpdateLock::unlock() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

UpdateLock::~UpdateLock() {
    unlock();
}

} // namespace qm
