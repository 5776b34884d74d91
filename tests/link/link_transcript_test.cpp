#include "link/link_transcript.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

namespace qm {
namespace {

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

} // namespace
} // namespace qm
