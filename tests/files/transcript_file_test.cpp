// The transcript file of a download: written as every other output, never onto a device, a FIFO
// or through a name planted beside it.
#include "files/regular_file.h"
#include "files/transcript_file.h"
#include "link/link_transcript.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace qm {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct TranscriptFile : ::testing::Test {
    fs::path dir;
    LinkTranscript transcript;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-transcript-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        transcript.add_note("download started");
    }
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(TranscriptFile, LastDownloadLogLivesInTheCacheFolder) {
    {
        const ScopedEnv xdg("XDG_CACHE_HOME", "/var/tmp/cache");
        EXPECT_EQ(last_download_log_path(), fs::path("/var/tmp/cache/quellmark/last-download.log"));
    }
    {
        const ScopedEnv xdg("XDG_CACHE_HOME", "relative/cache"); // not absolute: ignored
        const ScopedEnv home("HOME", "/home/user");
        EXPECT_EQ(last_download_log_path(),
                  fs::path("/home/user/.cache/quellmark/last-download.log"));
    }
    const ScopedEnv xdg("XDG_CACHE_HOME", nullptr);
    const ScopedEnv home("HOME", nullptr);
    EXPECT_TRUE(last_download_log_path().empty());
    EXPECT_FALSE(save_last_download_transcript(""));
}

TEST_F(TranscriptFile, SavingCreatesTheFolderAndReplacesTheOldLog) {
    const ScopedEnv xdg("XDG_CACHE_HOME", dir.c_str());
    LinkTranscript first;
    first.add_note("first");
    ASSERT_TRUE(save_last_download_transcript(format_transcript(first)));
    const auto path = save_last_download_transcript(format_transcript(transcript));
    ASSERT_TRUE(path);
    EXPECT_EQ(test::read_text(*path), format_transcript(transcript));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "quellmark"), fs::directory_iterator{}),
              1); // no temporary file left behind
    EXPECT_EQ(write_transcript_file(dir / "missing" / "x.log", "x"), ENOENT);
}

// What stands at the log's name, what the write must return, and what must hold afterwards.
TEST_F(TranscriptFile, GoesOnlyIntoARegularFileKeepingLinksAndMode) {
    const fs::path log = dir / "download.log";
    struct Case {
        const char* what;
        std::function<fs::path()> lay_down; // returns the name to write to
        int error;
        std::function<void()> check;
    };
    const std::vector<Case> cases = {
        {"a device", [] { return fs::path("/dev/null"); }, kNotRegularFile,
         [] { EXPECT_TRUE(fs::is_character_file("/dev/null")); }},
        {"a FIFO",
         [&] {
             ::mkfifo(log.c_str(), 0644);
             return log;
         },
         kNotRegularFile, [&] { EXPECT_TRUE(fs::is_fifo(log)); }},
        {"a symbolic link",
         [&] {
             test::write_file(dir / "real.log", {'o', 'l', 'd'});
             fs::create_symlink("real.log", log);
             return log;
         },
         0,
         [&] {
             EXPECT_TRUE(fs::is_symlink(log));
             EXPECT_EQ(test::read_text(dir / "real.log"), format_transcript(transcript));
         }},
        {"a private file",
         [&] {
             test::write_file(log, {'o', 'l', 'd'});
             fs::permissions(log, static_cast<fs::perms>(0600));
             return log;
         },
         0,
         [&] {
             EXPECT_EQ(fs::status(log).permissions(), static_cast<fs::perms>(0600));
             EXPECT_EQ(test::read_text(log), format_transcript(transcript));
         }},
        {"a link planted at the old temporary name",
         [&] {
             test::write_file(dir / "victim", {'v'});
             fs::create_symlink(dir / "victim", dir / "download.log.tmp");
             return log;
         },
         0,
         [&] {
             EXPECT_EQ(test::read_text(dir / "victim"), "v");
             EXPECT_TRUE(fs::is_symlink(dir / "download.log.tmp"));
             EXPECT_EQ(test::read_text(log), format_transcript(transcript));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directory(dir);
        EXPECT_EQ(write_transcript_file(c.lay_down(), format_transcript(transcript)), c.error);
        c.check();
    }
}

} // namespace
} // namespace qm
