#include "link/link_transcript.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qm {
namespace {

namespace fs = std::filesystem;
using ::testing::MatchesRegex;

TranscriptEntry exchange(TransferMode mode, std::vector<std::uint8_t> sent,
                         std::vector<std::uint8_t> received, bool accepted = true) {
    TranscriptEntry e;
    e.port = "/dev/ttyUSB0";
    e.mode = mode;
    e.sent = std::move(sent);
    e.received = std::move(received);
    e.accepted = accepted;
    return e;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(LinkTranscript, OneReadableLinePerExchange) {
    LinkTranscript t;
    t.add_note("download started");
    t.entries.push_back(exchange(TransferMode::Listen, {}, {0x99}));
    t.entries.push_back(exchange(TransferMode::WriteOnly, {0x31, 0x00, 0x31}, {}));
    t.entries.push_back(
        exchange(TransferMode::WriteThenRead, {0x05, 0x00, 0x05}, {0x07, 0x41, 0x00, 0x49}, false));
    t.entries.push_back(exchange(TransferMode::WriteThenRead, {0x01, 0x00, 0x00, 0x01}, {}));
    TranscriptEntry refused = exchange(TransferMode::Listen, {}, {});
    refused.status = PortStatus::OpenFailed;
    refused.error = EACCES;
    t.entries.push_back(refused);

    const auto lines = lines_of(format_transcript(t));
    ASSERT_EQ(lines.size(), 7u);
    const std::string time =
        R"(^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}  )";
    EXPECT_THAT(lines[1], MatchesRegex(time + "-- download started$"));
    EXPECT_THAT(lines[2], MatchesRegex(time + "/dev/ttyUSB0  listen  received 99  ok$"));
    EXPECT_THAT(lines[3], MatchesRegex(time + "/dev/ttyUSB0  write  sent 31 00 31  ok$"));
    EXPECT_THAT(lines[4], MatchesRegex(time + "/dev/ttyUSB0  write\\+read  sent 05 00 05  "
                                              "received 07 41 00 49  checksum failed$"));
    EXPECT_THAT(lines[5], MatchesRegex(time + "/dev/ttyUSB0  write\\+read  sent 01 00 00 01  "
                                              "received -  ok$"));
    EXPECT_THAT(lines[6], MatchesRegex(time + "/dev/ttyUSB0  listen  received -  "
                                              "cannot open: Permission denied$"));
}

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

TEST(LinkTranscript, LastDownloadLogLivesInTheCacheFolder) {
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
    {
        const ScopedEnv xdg("XDG_CACHE_HOME", nullptr);
        const ScopedEnv home("HOME", nullptr);
        EXPECT_TRUE(last_download_log_path().empty());
        EXPECT_FALSE(save_last_download_transcript(LinkTranscript{}));
    }
}

TEST(LinkTranscript, SavingCreatesTheFolderAndReplacesTheOldLog) {
    const fs::path cache = fs::path(::testing::TempDir()) / "transcript_cache";
    fs::remove_all(cache);
    const ScopedEnv xdg("XDG_CACHE_HOME", cache.c_str());
    LinkTranscript first;
    first.add_note("first");
    ASSERT_TRUE(save_last_download_transcript(first));
    LinkTranscript second;
    second.add_note("second");
    const auto path = save_last_download_transcript(second);
    ASSERT_TRUE(path);
    std::ifstream in(*path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, format_transcript(second));
    EXPECT_EQ(std::distance(fs::directory_iterator(cache / "quellmark"), fs::directory_iterator{}),
              1); // no temporary file left behind
    EXPECT_FALSE(write_transcript_file(cache / "missing" / "x.log", second));
    fs::remove_all(cache);
}

} // namespace
} // namespace qm
