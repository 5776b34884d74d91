#include "photos/photo_files.h"

#include "archive/sha256.h"
#include "files/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kPhotoMode = 0600;

int make_folders(const std::string& folder) {
    if (folder.empty() || ::mkdir(folder.c_str(), kFolderMode) == 0 || errno == EEXIST) {
        return 0;
    }
    if (errno != ENOENT) {
        return errno;
    }
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (const int error = make_folders(folder.substr(0, slash)); error != 0) {
            return error;
        }
    }
    return ::mkdir(folder.c_str(), kFolderMode) == 0 || errno == EEXIST ? 0 : errno;
}

int write_all(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return 0;
}

Failure photo_folder_failure(const std::string& folder, int error) {
    return failure("The photo folder " + folder + " cannot be written: " + file_error_text(error));
}

} // namespace

std::string photo_folder_of(const std::string& archive_path) {
    const std::size_t slash = archive_path.find_last_of('/');
    return slash == std::string::npos ? std::string("photos")
                                      : archive_path.substr(0, slash + 1) + "photos";
}

Result<PhotoBytes> read_photo_file(const std::string& path) {
    PhotoBytes photo;
    photo.name = path;
    if (const int error = read_regular_file(path, kMaxPhotoBytes, photo.bytes); error != 0) {
        return failure(
            path + " cannot be read: " +
            (error == EFBIG ? std::string("it is larger than 512 MB") : file_error_text(error)));
    }
    photo.sha256 = sha256_hex(photo.bytes);
    return photo;
}

Result<std::vector<std::string>> files_in_folder(const std::string& folder) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        return failure("The folder " + folder + " cannot be read: " + file_error_text(errno));
    }
    std::vector<std::string> files;
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        struct stat st {};
        const std::string path = folder + "/" + name;
        if (name != "." && name != ".." && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            files.push_back(path);
        }
        errno = 0;
    }
    if (errno != 0) {
        return failure("The folder " + folder + " cannot be read: " + file_error_text(errno));
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string PhotoFiles::path_of(const std::string& sha256) const {
    return folder_ + "/" + sha256;
}

namespace {

// Whether a file of the photo's name and size stands at `path` already.
bool stored_already(const std::string& path, std::size_t size) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           static_cast<std::uint64_t>(st.st_size) == size;
}

} // namespace

Status PhotoFiles::put(const std::string& sha256, std::span<const std::uint8_t> bytes) const {
    const std::string target = path_of(sha256);
    if (stored_already(target, bytes.size())) {
        return done();
    }
    if (const int error = make_folders(folder_); error != 0) {
        return photo_folder_failure(folder_, error);
    }
    std::string temp = folder_ + "/." + sha256 + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return photo_folder_failure(folder_, errno);
    }
    int error = ::fchmod(fd, kPhotoMode) != 0 ? errno : write_all(fd, bytes);
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    // A link never replaces a file that stands there (another program put the same photo);
    // only a file of the wrong size, which cannot hold these bytes, is replaced.
    if (error == 0 && ::link(temp.c_str(), target.c_str()) != 0) {
        error = errno;
        if (error == EEXIST && !stored_already(target, bytes.size())) {
            error = ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
        } else if (error == EEXIST) {
            error = 0;
        }
    }
    ::unlink(temp.c_str());
    if (error != 0) {
        return photo_folder_failure(folder_, error);
    }
    return done();
}

Result<std::vector<std::uint8_t>> PhotoFiles::read(const std::string& sha256) const {
    std::vector<std::uint8_t> bytes;
    const std::string path = path_of(sha256);
    if (const int error = read_regular_file(path, kMaxPhotoBytes, bytes); error != 0) {
        return damage("The photo " + path + " cannot be read: " + file_error_text(error));
    }
    if (sha256_hex(bytes) != sha256) {
        return damage("The photo " + path + " is damaged: its bytes no longer match its SHA-256");
    }
    return bytes;
}

Status PhotoFiles::remove(const std::string& sha256) const {
    const std::string path = path_of(sha256);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return failure("The photo " + path + " cannot be removed: " + file_error_text(errno));
    }
    return done();
}

} // namespace qm
