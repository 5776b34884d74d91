// Saving, exporting and the settings file when the file system says no or holds something odd: a
// folder without write permission, a full disk, a read-only file, a FIFO or socket in the way, a
// symbolic link, a temporary left by a crash, and a damaged or misplaced "qm.dat". The old file
// must survive byte for byte, keep its mode, and nothing may be reported as written.
//
// Permission bits do not stop root, so as root the permission cases run in a child process that
// has dropped to the user "nobody"; the full-disk case mounts a small tmpfs and needs root.
#include "files/csv_export.h"
#include "files/file_commands.h"
#include "files/regular_file.h"
#include "files/save_file.h"
#include "files/saved_readings.h"
#include "files/settings_file.h"
#include "state/app_state.h"
#include "store/job_index.h"
#include "support/recording_ui.h"
#include "support/scripted_file_dialogs.h"
#include "support/test_files.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

using test::kNobody;
using test::run_unprivileged;

std::size_t entries_in(const fs::path& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

struct FileFaults : ::testing::Test {
    AppState app;
    fs::path dir;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-faults-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        fs::permissions(dir, static_cast<fs::perms>(0755));
        app.wizard.management_type = ManagedKind::Mc;
        for (std::int32_t i = 0; i < 200; ++i) {
            app.store.all_readings.push_back(test::pin_reading(1, i % kLocationCount));
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
        // The save command shows the access message with the system's reason under it.
        test::RecordingUi ui;
        test::ScriptedFileDialogs dialogs;
        dialogs.answers = {(dir / "job.qmk").string()};
        const std::string folder = dir.string();
        FileCommandContext c{app.store,
                             app.meter,
                             app.job_records,
                             app.wizard,
                             app.selection,
                             app.settings,
                             folder,
                             ui,
                             dialogs,
                             {},
                             {}};
        file_command(FileCommand::Save, c);
        if (ui.messages.size() != 1 ||
            ui.messages[0].text != std::string(kAccessDeniedText) + "\nPermission denied") {
            return 3;
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
    test::write_file(dir / "kept.qmk", old_save);
    test::write_file(dir / "kept.csv", old_csv);
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
    EXPECT_EQ(test::read_file(dir / "kept.qmk"), old_save);
    EXPECT_EQ(test::read_file(dir / "kept.csv"), old_csv);
    EXPECT_EQ(entries_in(dir), 2u);
}

TEST_F(FileFaults, FullOrReadOnlyDiskKeepsTheOldFileAndLeavesNoTemporary) {
    if (::geteuid() != 0 || ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root; the full-disk case was not run";
    }
    const Bytes old_save(512, 0x5A);
    const Bytes old_csv(256, 'x');
    test::write_file(dir / "kept.qmk", old_save);
    test::write_file(dir / "kept.csv", old_csv);
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
    EXPECT_EQ(test::read_file(dir / "kept.qmk"), old_save);
    EXPECT_EQ(test::read_file(dir / "kept.csv"), old_csv);
    EXPECT_FALSE(fs::exists(dir / "new.qmk"));
    EXPECT_EQ(entries_in(dir), 3u);

    // The same disk mounted read-only.
    ASSERT_EQ(::mount("tmpfs", dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_EQ(save(dir / "kept.qmk"), EROFS);
    EXPECT_EQ(access_denied_text(EROFS),
              std::string(kAccessDeniedText) + "\nRead-only file system");
    EXPECT_EQ(test::read_file(dir / "kept.qmk"), old_save);
}

// A file made in pieces (a large save) whose making fails after some pieces were written.
TEST_F(FileFaults, FailureAfterSomePiecesKeepsTheOldFileAndLeavesNoTemporary) {
    const Bytes old_save(512, 0x5A);
    test::write_file(dir / "kept.qmk", old_save);
    const Bytes piece(70'000, 0x11);
    EXPECT_EQ(replace_file_in_pieces((dir / "kept.qmk").string(),
                                     [&](const ByteWriter& write) {
                                         EXPECT_EQ(write(piece), 0);
                                         EXPECT_EQ(write(piece), 0);
                                         return EIO;
                                     }),
              EIO);
    EXPECT_EQ(test::read_file(dir / "kept.qmk"), old_save);
    EXPECT_EQ(entries_in(dir), 1u);
}

TEST_F(FileFaults, SaveAndCsvFilesAre0644UnderTheUsualUmask) {
    const mode_t old_mask = ::umask(022);
    EXPECT_EQ(save(dir / "job.qmk"), 0);
    EXPECT_EQ(export_to(dir / "job.csv"), 0);
    ::umask(old_mask);
    EXPECT_EQ(fs::status(dir / "job.qmk").permissions(), static_cast<fs::perms>(0644));
    EXPECT_EQ(fs::status(dir / "job.csv").permissions(), static_cast<fs::perms>(0644));
}

TEST_F(FileFaults, OnlyRegularFilesAreReplaced) {
    // A FIFO and a socket in the way are refused and stay what they are.
    const fs::path fifo = dir / "fifo.qmk";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const fs::path socket_path = dir / "socket.csv";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(save(fifo), kNotRegularFile);
    EXPECT_EQ(export_to(socket_path), kNotRegularFile);
    EXPECT_EQ(save(dir), EISDIR);
    ::close(sock);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_socket(socket_path));
    EXPECT_EQ(entries_in(dir), 2u);
}

TEST_F(FileFaults, SymbolicLinksAreFollowedAndKept) {
    fs::create_directory(dir / "real");
    test::write_file(dir / "real" / "job.qmk", {'o', 'l', 'd'});
    fs::create_symlink("real/job.qmk", dir / "link.qmk");
    fs::create_symlink(dir / "link.qmk", dir / "link2.qmk"); // a link to the link
    fs::create_symlink("real/new.csv", dir / "dangling.csv");

    EXPECT_EQ(save(dir / "link2.qmk"), 0);
    EXPECT_EQ(export_to(dir / "dangling.csv"), 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.qmk"));
    EXPECT_TRUE(fs::is_symlink(dir / "link2.qmk"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.csv"));
    EXPECT_EQ(fs::file_size(dir / "real" / "job.qmk"), 1112u + 200 * 68);
    EXPECT_EQ(test::read_file(dir / "real" / "new.csv").size(),
              fs::file_size(dir / "dangling.csv"));
    EXPECT_EQ(entries_in(dir / "real"), 2u);
    EXPECT_EQ(entries_in(dir), 4u);
}

TEST_F(FileFaults, ReplacedFilesKeepTheirModeAndOwner) {
    const mode_t old_mask = ::umask(022);
    for (const fs::perms mode : {static_cast<fs::perms>(0600), static_cast<fs::perms>(0640)}) {
        test::write_file(dir / "job.qmk", {'o', 'l', 'd'});
        fs::permissions(dir / "job.qmk", mode);
        EXPECT_EQ(save(dir / "job.qmk"), 0);
        EXPECT_EQ(fs::status(dir / "job.qmk").permissions(), mode);
    }
    ::umask(old_mask);
    // As root, another user's file stays that user's.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown((dir / "job.qmk").c_str(), kNobody, kNobody), 0);
        EXPECT_EQ(save(dir / "job.qmk"), 0);
        struct stat info {};
        ASSERT_EQ(::stat((dir / "job.qmk").c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, kNobody);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
    }
    EXPECT_EQ(entries_in(dir), 1u);
}

TEST_F(FileFaults, TemporaryLeftByACrashGoesWithTheNextSave) {
    // What a save killed before its rename leaves, and the temporary of a save still running.
    const fs::path stale = dir / ".job.qmk.0badcafe.tmp";
    const fs::path running = dir / ".job.qmk.12345678.tmp";
    test::write_file(stale, {1, 2, 3});
    test::write_file(running, {4, 5, 6});
    const int held = ::open(running.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    // Names that are not temporaries of this target stay.
    for (const char* name : {".job.qmk.0badcafe.tmp.x", ".other.qmk.0badcafe.tmp",
                             ".job.qmk.0BADCAFE.tmp", "job.qmk.0badcafe.tmp"}) {
        test::write_file(dir / name, {7});
    }
    EXPECT_EQ(save(dir / "job.qmk"), 0);
    ::close(held);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(running));
    EXPECT_EQ(entries_in(dir), 6u);
    EXPECT_TRUE(is_temporary_of(".site.csv.0123abcd.tmp", "site.csv"));
    EXPECT_FALSE(is_temporary_of(".site.csv.0123abc.tmp", "site.csv"));
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
    test::write_file(file, {1, 0});
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
    test::write_file(file, Bytes(536, 0));
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
    EXPECT_EQ(test::read_file(file), Bytes(536, 0));
}

} // namespace
} // namespace qm
