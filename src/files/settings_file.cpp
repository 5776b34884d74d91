#include "files/settings_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

constexpr std::size_t kRememberOffset = 0;
constexpr std::size_t kCelsiusOffset = 4;
constexpr std::size_t kPrintPartsOffset = 8;
constexpr std::size_t kInitialFolderOffset = 12;
constexpr std::size_t kLastFileNameOffset = 272;
constexpr std::size_t kInternationalDateOffset = 532;

void put_int(SettingsBytes& bytes, std::size_t offset, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::int32_t get_int(const SettingsBytes& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        v |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return static_cast<std::int32_t>(v);
}

void put_text(SettingsBytes& bytes, std::size_t offset, const char (&field)[kSettingsPathSize]) {
    std::memcpy(bytes.data() + offset, field, kSettingsPathSize);
}

void get_text(const SettingsBytes& bytes, std::size_t offset, char (&field)[kSettingsPathSize]) {
    std::memcpy(field, bytes.data() + offset, kSettingsPathSize);
    // Every reader takes the field as a C string, so it must end inside the field.
    field[kSettingsPathSize - 1] = '\0';
}

// Another instance holds the file only for one read or write; it is waited for this long.
constexpr auto kLockWait = std::chrono::seconds(1);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

// Whether an open failed because the file may only be read (permissions, read-only file system).
bool read_only_error(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

// Takes the exclusive lock, waiting up to kLockWait while another process holds it.
bool lock_exclusively(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
    return true;
}

enum class Access { Read, Write };

// An open "qm.dat", held exclusively; closed (and so released) on destruction. For reading, a
// file that may not be written is opened read-only.
class SettingsFile {
public:
    SettingsFile(const std::string& startup_folder, Access access) {
        const std::string path = settings_path(startup_folder);
        // O_NONBLOCK: a FIFO of that name must not hang the start-up.
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
        if (fd_ < 0 && read_only_error(errno)) {
            if (access == Access::Read) {
                fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            } else if (struct stat existing{}; ::stat(path.c_str(), &existing) == 0) {
                status_ = SettingsStatus::ReadOnly;
                return;
            }
        }
        if (fd_ < 0) {
            status_ = SettingsStatus::NotOpened;
            return;
        }
        struct stat info {};
        if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
            status_ = SettingsStatus::NotOpened;
            return;
        }
        if (!lock_exclusively(fd_)) {
            status_ = SettingsStatus::InUse;
        }
    }
    ~SettingsFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    SettingsStatus status() const { return status_; }

    // Reads up to bytes.size() bytes from the start; the count read, or -1 on an error.
    long read_start(SettingsBytes& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return -1;
            }
            if (n == 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        return static_cast<long>(done);
    }

    bool write_start(const SettingsBytes& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return ::fsync(fd_) == 0;
    }

private:
    int fd_ = -1;
    SettingsStatus status_ = SettingsStatus::Ok;
};

} // namespace

std::string_view settings_text(const char (&field)[kSettingsPathSize]) {
    return {field, strnlen(field, kSettingsPathSize - 1)};
}

bool set_settings_text(char (&field)[kSettingsPathSize], std::string_view text) {
    if (text.size() >= kSettingsPathSize) {
        return false;
    }
    std::memset(field, 0, kSettingsPathSize);
    std::memcpy(field, text.data(), text.size());
    return true;
}

SettingsBytes encode_settings(const SettingsRecord& record) {
    SettingsBytes bytes{};
    put_int(bytes, kRememberOffset, record.remember_filename);
    put_int(bytes, kCelsiusOffset, record.celsius);
    put_int(bytes, kPrintPartsOffset, record.print_parts);
    put_text(bytes, kInitialFolderOffset, record.initial_folder);
    put_text(bytes, kLastFileNameOffset, record.last_file_name);
    put_int(bytes, kInternationalDateOffset, record.international_date);
    return bytes;
}

void decode_settings(std::span<const std::uint8_t> bytes, SettingsRecord& record) {
    // Start from the record's own bytes so that a short file changes only what it supplies.
    SettingsBytes merged = encode_settings(record);
    std::memcpy(merged.data(), bytes.data(), std::min(bytes.size(), merged.size()));
    record.remember_filename = get_int(merged, kRememberOffset);
    record.celsius = get_int(merged, kCelsiusOffset);
    record.print_parts = get_int(merged, kPrintPartsOffset);
    get_text(merged, kInitialFolderOffset, record.initial_folder);
    get_text(merged, kLastFileNameOffset, record.last_file_name);
    record.international_date = get_int(merged, kInternationalDateOffset);
}

std::string settings_path(const std::string& startup_folder) {
    if (startup_folder.empty()) {
        return std::string(kSettingsFileName);
    }
    std::string path = startup_folder;
    if (path.back() != '/') {
        path += '/';
    }
    path += kSettingsFileName;
    return path;
}

SettingsStatus read_settings(const std::string& startup_folder, SettingsRecord& record) {
    SettingsFile file(startup_folder, Access::Read);
    if (file.status() != SettingsStatus::Ok) {
        return file.status();
    }
    SettingsBytes bytes{};
    const long n = file.read_start(bytes);
    if (n < 0) {
        return SettingsStatus::NotRead;
    }
    decode_settings(std::span(bytes.data(), static_cast<std::size_t>(n)), record);
    return SettingsStatus::Ok;
}

SettingsStatus write_settings(const std::string& startup_folder, SettingsRecord& record) {
    if (record.initial_folder[0] == '\0') {
        set_settings_text(record.initial_folder, kDefaultInitialFolder);
    }
    SettingsFile file(startup_folder, Access::Write);
    if (file.status() != SettingsStatus::Ok) {
        return file.status();
    }
    return file.write_start(encode_settings(record)) ? SettingsStatus::Ok
                                                     : SettingsStatus::NotWritten;
}

void load_settings_at_start_up(const std::string& startup_folder, SettingsRecord& record) {
    const SettingsStatus read = read_settings(startup_folder, record);
    if (record.initial_folder[0] != '\0') {
        return;
    }
    record.print_parts = kPrintAllParts;
    if (read == SettingsStatus::Ok) {
        write_settings(startup_folder, record);
    } else {
        // A file that could not be read (held by another instance, say) is not overwritten.
        set_settings_text(record.initial_folder, kDefaultInitialFolder);
    }
}

} // namespace qm
