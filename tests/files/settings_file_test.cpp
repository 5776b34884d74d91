#include "files/settings_file.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void append_int(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

void append_text(Bytes& b, std::string_view text, std::size_t width) {
    b.insert(b.end(), text.begin(), text.end());
    b.insert(b.end(), width - text.size(), 0);
}

// A settings file written out field by field.
Bytes settings_bytes(std::uint32_t remember, std::uint32_t celsius, std::uint32_t print_parts,
                     std::string_view folder, std::string_view last_name,
                     std::uint32_t international) {
    Bytes b;
    append_int(b, remember);
    append_int(b, celsius);
    append_int(b, print_parts);
    append_text(b, folder, 260);
    append_text(b, last_name, 260);
    append_int(b, international);
    return b;
}

const std::string kDefaultFolder = "C:\\Windows\\Desktop\\";

class SettingsFileTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        file_ = folder_ + "/qm.dat";
    }
    void TearDown() override {
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(folder_);
    }

    void put_file(const Bytes& bytes) { test::write_file(file_, bytes); }
    Bytes file_bytes() const { return test::read_file(file_); }
    // Runs a step as a user that file permissions bind: root acts as "nobody" for it, with the
    // folder opened to others.
    template <typename Step> void as_bound_user(Step step) {
        if (geteuid() != 0) {
            step();
            return;
        }
        fs::permissions(folder_,
                        fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec,
                        fs::perm_options::add);
        ASSERT_EQ(setegid(kNobody), 0);
        ASSERT_EQ(seteuid(kNobody), 0);
        step();
        ASSERT_EQ(seteuid(0), 0);
        ASSERT_EQ(setegid(0), 0);
    }

    static constexpr unsigned kNobody = 65534;

    std::string folder_;
    std::string file_;
};

TEST_F(SettingsFileTest, FirstStartWritesTheDefaults) {
    SettingsRecord record;
    load_settings_at_start_up(folder_, record);
    EXPECT_EQ(file_bytes(), settings_bytes(0, 0, 7, kDefaultFolder, "", 0));
    EXPECT_EQ(record.print_parts, 7);
    EXPECT_EQ(settings_text(record.initial_folder), kDefaultFolder);
    EXPECT_EQ(record.celsius, 0);

    // The next start reads the same values back and leaves the file as it is.
    SettingsRecord again;
    load_settings_at_start_up(folder_, again);
    EXPECT_EQ(again, record);
    EXPECT_EQ(file_bytes().size(), 536u);
}

TEST_F(SettingsFileTest, EmptyFolderFieldRestoresAllPrintParts) {
    put_file(settings_bytes(1, 1, 2, "", "/home/u/job.qmk", 1));
    SettingsRecord record;
    load_settings_at_start_up(folder_, record);
    EXPECT_EQ(record.print_parts, 7);
    EXPECT_EQ(record.celsius, 1);
    EXPECT_EQ(record.international_date, 1);
    EXPECT_EQ(settings_text(record.last_file_name), "/home/u/job.qmk");
    EXPECT_EQ(file_bytes(), settings_bytes(1, 1, 7, kDefaultFolder, "/home/u/job.qmk", 1));
}

TEST_F(SettingsFileTest, ShortFileKeepsTheValuesItDoesNotSupply) {
    // Six bytes: remember_filename and the low half of celsius.
    put_file({0x01, 0x00, 0x00, 0x00, 0x02, 0x00});
    SettingsRecord record;
    record.celsius = 0x00010000;
    record.print_parts = 5;
    set_settings_text(record.initial_folder, "/data");
    record.international_date = 1;
    ASSERT_EQ(read_settings(folder_, record), SettingsStatus::Ok);
    EXPECT_EQ(record.remember_filename, 1);
    EXPECT_EQ(record.celsius, 0x00010002);
    EXPECT_EQ(record.print_parts, 5);
    EXPECT_EQ(settings_text(record.initial_folder), "/data");
    EXPECT_EQ(record.international_date, 1);
    EXPECT_EQ(file_bytes().size(), 6u); // reading never writes

    // An empty file is created where there is none.
    fs::remove(file_);
    SettingsRecord before = record;
    ASSERT_EQ(read_settings(folder_, record), SettingsStatus::Ok);
    EXPECT_EQ(record, before);
    EXPECT_TRUE(fs::exists(file_));
    EXPECT_EQ(fs::file_size(file_), 0u);
}

TEST_F(SettingsFileTest, LongerFileKeepsItsTail) {
    Bytes bytes = settings_bytes(0, 0, 3, "/srv/jobs", "", 0);
    const Bytes tail(64, 0xAA);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    put_file(bytes);

    SettingsRecord record;
    ASSERT_EQ(read_settings(folder_, record), SettingsStatus::Ok);
    EXPECT_EQ(record.print_parts, 3);
    EXPECT_EQ(settings_text(record.initial_folder), "/srv/jobs");
    record.celsius = 1;
    ASSERT_EQ(write_settings(folder_, record), SettingsStatus::Ok);

    Bytes expected = settings_bytes(0, 1, 3, "/srv/jobs", "", 0);
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(file_bytes(), expected);
}

TEST_F(SettingsFileTest, EveryFieldAtItsOffset) {
    SettingsRecord record;
    record.remember_filename = 1;
    record.celsius = -2;
    record.print_parts = 0x01020304;
    set_settings_text(record.initial_folder, "/a");
    set_settings_text(record.last_file_name, "b.qmk");
    record.international_date = 0x7fffffff;
    const SettingsBytes encoded = encode_settings(record);
    EXPECT_EQ(Bytes(encoded.begin(), encoded.end()),
              settings_bytes(1, 0xfffffffe, 0x01020304, "/a", "b.qmk", 0x7fffffff));
    SettingsRecord decoded;
    decode_settings(encoded, decoded);
    EXPECT_EQ(decoded, record);
}

TEST_F(SettingsFileTest, UnterminatedTextIsCutInsideItsField) {
    Bytes bytes = settings_bytes(0, 0, 7, "", "", 0);
    std::fill(bytes.begin() + 12, bytes.begin() + 272, 'x');
    SettingsRecord record;
    decode_settings(bytes, record);
    EXPECT_EQ(settings_text(record.initial_folder), std::string(259, 'x'));
    EXPECT_EQ(std::strlen(record.initial_folder), 259u);
    EXPECT_EQ(settings_text(record.last_file_name), "");

    EXPECT_FALSE(set_settings_text(record.last_file_name, std::string(260, 'y')));
    EXPECT_EQ(settings_text(record.last_file_name), "");
    EXPECT_TRUE(set_settings_text(record.last_file_name, std::string(259, 'y')));
}

TEST_F(SettingsFileTest, UnusableFileLeavesTheValuesAlone) {
    SettingsRecord record;
    record.celsius = 1;
    record.print_parts = 6;
    set_settings_text(record.initial_folder, "/x");
    const SettingsRecord kept = record;

    // A directory in its place.
    fs::create_directory(file_);
    EXPECT_EQ(read_settings(folder_, record), SettingsStatus::NotOpened);
    EXPECT_EQ(write_settings(folder_, record), SettingsStatus::NotOpened);
    EXPECT_EQ(record, kept);
    fs::remove(file_);

    // A FIFO must neither hang the start-up nor be written.
    ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
    EXPECT_EQ(read_settings(folder_, record), SettingsStatus::NotOpened);
    EXPECT_EQ(record, kept);
    fs::remove(file_);

    // A start-up folder that is gone.
    EXPECT_EQ(read_settings(folder_ + "/missing", record), SettingsStatus::NotOpened);
    load_settings_at_start_up(folder_ + "/missing", record);
    EXPECT_EQ(record, kept);

    // A folder where nothing can be created: defaults apply in memory only.
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    as_bound_user([&] {
        SettingsRecord fresh;
        load_settings_at_start_up(folder_, fresh);
        EXPECT_EQ(fresh.print_parts, 7);
        EXPECT_EQ(settings_text(fresh.initial_folder), kDefaultFolder);
        EXPECT_FALSE(fs::exists(file_));
    });
}

TEST_F(SettingsFileTest, ReadOnlyFileIsReadButNotWritten) {
    const Bytes stored = settings_bytes(1, 1, 3, "/y", "/y/a.qmk", 1);
    put_file(stored);
    fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    as_bound_user([&] {
        SettingsRecord record;
        load_settings_at_start_up(folder_, record);
        EXPECT_EQ(record.celsius, 1);
        EXPECT_EQ(record.international_date, 1);
        EXPECT_EQ(record.print_parts, 3);
        EXPECT_EQ(settings_text(record.last_file_name), "/y/a.qmk");
        record.celsius = 0;
        EXPECT_EQ(write_settings(folder_, record), SettingsStatus::ReadOnly);
        EXPECT_EQ(read_settings(folder_, record), SettingsStatus::Ok);
    });
    EXPECT_EQ(file_bytes(), stored);
}

TEST_F(SettingsFileTest, FileHeldByAnotherProcessIsWaitedForUpToASecond) {
    const Bytes stored = settings_bytes(0, 1, 5, "/z", "", 0);
    put_file(stored);
    const int other = ::open(file_.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);

    // Held throughout: the start-up uses the defaults and leaves the file as it is.
    SettingsRecord record;
    const auto start = std::chrono::steady_clock::now();
    load_settings_at_start_up(folder_, record);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(record.celsius, 0);
    EXPECT_EQ(record.print_parts, 7);
    EXPECT_EQ(write_settings(folder_, record), SettingsStatus::InUse);
    EXPECT_EQ(file_bytes(), stored);

    // Released within the second: read as it is.
    std::thread release([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::close(other);
    });
    SettingsRecord later;
    load_settings_at_start_up(folder_, later);
    release.join();
    EXPECT_EQ(later.celsius, 1);
    EXPECT_EQ(later.print_parts, 5);
    EXPECT_EQ(file_bytes(), stored);
}

} // namespace
} // namespace qm
