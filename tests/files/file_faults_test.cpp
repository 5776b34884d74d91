// Saving, exporting and the settings file when the file system says no: a folder without write
// permission, a full disk, a read-only file in the way, and a damaged or misplaced "qm.dat". The
// old file must survive byte for byte and nothing may be reported as written.
//
// Permission bits do not stop root, so as root the permission cases run in a child process that
// has dropped to the user "nobody"; the full-disk case mounts a small tmpfs and needs root.
#include "files/csv_export.h"
#include "files/save_file.h"
#include "files/settings_file.h"
#include "shell/app_state.h"
#include "store/job_index.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr uid_t kNobody = 65534;

Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::size_t entries_in(const fs::path& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

Reading pin_reading(std::int32_t location) {
    Reading r;
    r.kind = PinWithTemperature;
    r.location = location % kLocationCount;
    r.sub_location = 1;
    r.job = 1;
    r.year = 9;
    r.month = 5;
    r.day = 13;
    r.hour_code = 0x14;
    r.minute = 5;
    r.pin_temperature = 70;
    r.material = 3;
    r.mc = 12.5;
    return r;
}

// Runs check as a user whom permission bits bind: in a child that became "nobody" when this
// process is root, here otherwise. check returns 0 when every expectation held, else the number
// of the one that failed.
int run_unprivileged(const std::function<int()>& check) {
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

struct FileFaults : ::testing::Test {
    AppState app;
    fs::path dir;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-faults-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        fs::permissions(dir, static_cast<fs::perms>(0755));
        app.wizard.management_type = 1;
        for (std::int32_t i = 0; i < 200; ++i) {
            app.store.all_readings.push_back(pin_reading(i));
        }
        rebuild_job_lists(app.store);
    }
    void TearDown() override {
        ::umount2(dir.c_str(), MNT_DETACH);
        std::error_code ignored;
        fs::permissions(dir, fs::perms::owner_all, ignored);
        fs::remove_all(dir, ignored);
    }

    int save(const fs::path& path) {
        const SaveResult r =
            write_save(path.string(), app.wizard, app.selection, app.meter, app.store);
        return r.ok ? 0 : r.error;
    }
    int export_to(const fs::path& path) {
        return export_csv_file(path.string(), app.store, app.meter, 1, 0, 0);
    }
};

TEST_F(FileFaults, FolderWithoutWritePermissionRefusesAndStaysEmpty) {
    // The folder belongs to root and is 0755 (or to this user and 0555).
    if (::geteuid() != 0) {
        fs::permissions(dir, static_cast<fs::perms>(0555));
    }
    const int result = run_unprivileged([&] {
        if (save(dir / "job.qmk") != EACCES) {
            return 1;
        }
        if (export_to(dir / "job.csv") != EACCES) {
            return 2;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(entries_in(dir), 0u);
}

TEST_F(FileFaults, ReadOnlyFileIsNeitherReplacedNorTouched) {
    // The folder is writable, so only the file's own mode protects it.
    fs::permissions(dir, static_cast<fs::perms>(0777));
    const Bytes old_save = {'o', 'l', 'd', 0, 1, 2};
    const Bytes old_csv = {'a', ',', 'b', '\r', '\n'};
    write_file(dir / "kept.qmk", old_save);
    write_file(dir / "kept.csv", old_csv);
    fs::permissions(dir / "kept.qmk", static_cast<fs::perms>(0444));
    fs::permissions(dir / "kept.csv", static_cast<fs::perms>(0444));

    const int result = run_unprivileged([&] {
        if (save(dir / "kept.qmk") != EACCES) {
            return 1;
        }
        if (export_to(dir / "kept.csv") != EACCES) {
            return 2;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(read_file(dir / "kept.qmk"), old_save);
    EXPECT_EQ(read_file(dir / "kept.csv"), old_csv);
    EXPECT_EQ(entries_in(dir), 2u);
}

TEST_F(FileFaults, FullDiskKeepsTheOldFileAndLeavesNoTemporary) {
    if (::geteuid() != 0 || ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root; the full-disk case was not run";
    }
    const Bytes old_save(512, 0x5A);
    const Bytes old_csv(256, 'x');
    write_file(dir / "kept.qmk", old_save);
    write_file(dir / "kept.csv", old_csv);
    {
        // Fill the rest of the disk.
        std::ofstream filler(dir / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
        }
    }
    EXPECT_EQ(save(dir / "kept.qmk"), ENOSPC);
    EXPECT_EQ(export_to(dir / "kept.csv"), ENOSPC);
    EXPECT_EQ(save(dir / "new.qmk"), ENOSPC);
    EXPECT_EQ(read_file(dir / "kept.qmk"), old_save);
    EXPECT_EQ(read_file(dir / "kept.csv"), old_csv);
    EXPECT_FALSE(fs::exists(dir / "new.qmk"));
    EXPECT_EQ(entries_in(dir), 3u);
}

TEST_F(FileFaults, SaveAndCsvFilesAre0644UnderTheUsualUmask) {
    const mode_t old_mask = ::umask(022);
    EXPECT_EQ(save(dir / "job.qmk"), 0);
    EXPECT_EQ(export_to(dir / "job.csv"), 0);
    ::umask(old_mask);
    EXPECT_EQ(fs::status(dir / "job.qmk").permissions(), static_cast<fs::perms>(0644));
    EXPECT_EQ(fs::status(dir / "job.csv").permissions(), static_cast<fs::perms>(0644));
}

TEST_F(FileFaults, BrokenSettingsFileKeepsTheValuesInMemory) {
    SettingsRecord record;
    record.celsius = 1;
    record.print_parts = 5;
    set_settings_text(record.initial_folder, "/data");
    const SettingsRecord kept = record;
    const fs::path file = settings_path(dir.string());

    // Truncated to a few bytes: whatever it supplies is read, nothing crashes, and writing
    // brings it back to full length.
    write_file(file, {1, 0});
    SettingsRecord read_back = kept;
    EXPECT_EQ(read_settings(dir.string(), read_back), SettingsStatus::Ok);
    EXPECT_EQ(read_back.print_parts, kept.print_parts);
    EXPECT_EQ(settings_text(read_back.initial_folder), "/data");
    EXPECT_EQ(write_settings(dir.string(), record), SettingsStatus::Ok);
    EXPECT_GE(fs::file_size(file), 536u);
    fs::remove(file);

    // A directory in its place.
    fs::create_directory(file);
    EXPECT_EQ(read_settings(dir.string(), record), SettingsStatus::NotOpened);
    EXPECT_EQ(write_settings(dir.string(), record), SettingsStatus::NotOpened);
    EXPECT_EQ(record, kept);
    fs::remove(file);

    // Unwritable: a root-owned file and folder seen by an ordinary user.
    write_file(file, Bytes(536, 0));
    fs::permissions(file, static_cast<fs::perms>(0444));
    if (::geteuid() != 0) {
        fs::permissions(dir, static_cast<fs::perms>(0555));
    }
    const int result = run_unprivileged([&] {
        SettingsRecord mine = kept;
        if (write_settings(dir.string(), mine) == SettingsStatus::Ok) {
            return 1;
        }
        // Still read: its zeros stand, the defaults fill in the rest in memory only.
        load_settings_at_start_up(dir.string(), mine);
        if (mine.celsius != 0 || mine.print_parts != kPrintAllParts) {
            return 2;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(read_file(file), Bytes(536, 0));
}

} // namespace
} // namespace qm
