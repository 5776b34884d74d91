#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Every file the program reads or replaces goes through this unit: only regular files are read
// (by their size, never "until end of file") and only regular files are replaced.

// The error of a path that names a device, a FIFO or a socket. Every other error is an errno
// value (EISDIR for a directory).
constexpr int kNotRegularFile = -1;

// The text of an error of this unit: the system's text for an errno value.
std::string file_error_text(int error);

// A regular file open for reading. The open itself never waits: a FIFO or a device is refused
// before it is read, and a FIFO is opened without blocking.
class RegularFile {
public:
    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // Opens `path` (symbolic links followed). Returns 0, or the error: an errno value, EISDIR
    // for a directory, kNotRegularFile for a device, FIFO or socket.
    int open(const std::string& path);
    // The file's size when it was opened.
    std::uint64_t size() const { return size_; }
    // Appends the bytes from `offset` up to `length` of them to `out`; fewer only when the file
    // ends first (it may have shrunk since it was opened). Returns 0 or errno.
    int read_at(std::uint64_t offset, std::size_t length, std::vector<std::uint8_t>& out) const;
    // Reads the bytes from `offset` into `into`, all of them unless the file ends first; `got`
    // says how many. Returns 0 or errno.
    int read_into(std::uint64_t offset, std::span<std::uint8_t> into, std::size_t& got) const;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// Reads a whole regular file of at most max_bytes into `bytes`. Returns 0 or the error; EFBIG
// for a larger file, which is not read at all.
int read_regular_file(const std::string& path, std::size_t max_bytes,
                      std::vector<std::uint8_t>& bytes);

// The temporary file names a replacement of "NAME" uses beside it: ".NAME.<8 hex digits>.tmp".
bool is_temporary_of(std::string_view entry, std::string_view name);

// Replaces the regular file `path` (or creates it) with `bytes`, atomically: the bytes go to a
// temporary file in the same folder, which is synced and renamed over the target, so a failed
// write keeps the old file whole. A symbolic link is followed: the file it names is replaced and
// the link stays. A replaced file keeps its permission bits (and its owner where the system
// allows); a new file gets 0644 under the umask. A device, FIFO or socket is refused
// (kNotRegularFile), a directory with EISDIR, a file the user may not write with EACCES.
// Temporaries of the same target left by a program that died in a save are removed first.
// Returns 0 or the error; on failure no temporary file is left behind.
int replace_file_contents(const std::string& path, std::span<const std::uint8_t> bytes);

// Takes the next piece of a file's bytes; returns 0 or the errno of a failed write.
using ByteWriter = std::function<int(std::span<const std::uint8_t>)>;

// replace_file_contents for bytes made in pieces, so that a large file is never held whole:
// produce(write) hands every piece to write in order and returns 0, or the first error write
// returned (or an errno of its own); any error leaves the old file as it was.
int replace_file_in_pieces(const std::string& path,
                           const std::function<int(const ByteWriter&)>& produce);

enum class ReplaceMode {
    Replace, // the new file takes the place of one that stands there
    NewOnly, // the new file is put in place only where no file stands (EEXIST otherwise)
};

// replace_file_in_pieces in two steps, so that several files can be made first and put in place
// together: prepare() writes the new contents to a locked temporary beside the target (with the
// checks and the mode of replace_file_contents), commit() renames it into place. A replacement
// that is not committed removes its temporary when it is destroyed.
class FileReplacement {
public:
    FileReplacement() = default;
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Returns 0 or the error; on failure no temporary is left.
    int prepare(const std::string& path, const std::function<int(const ByteWriter&)>& produce);
    // Returns 0 or the error (EEXIST for NewOnly where a file stands); on failure the temporary
    // is removed.
    int commit(ReplaceMode mode);
    // The file the replacement lands in (symbolic links followed).
    const std::string& target() const { return target_; }

private:
    void discard();

    std::string target_;
    std::string temp_path_;
    int fd_ = -1;
};

// Holds a regular file locked (flock) against other updates for a read-modify-write that ends
// in replace_file_contents: the lock is taken on the file the name stands for at that moment, so
// an update that waited for another finds the file that one put in place. Updates that take the
// lock run one after the other; other writers are not held.
class UpdateLock {
public:
    UpdateLock() = default;
    ~UpdateLock();
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

    // Waits for the lock on `path`. Returns 0 or the error (kNotRegularFile, EISDIR, errno).
    int lock(const std::string& path);
    void unlock();

private:
    int fd_ = -1;
};

} // namespace qm
