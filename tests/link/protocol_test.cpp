#include "link/protocol.h"

#include "support/fake_serial_port.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::FakeSerialPort;
using test::RecordingUi;
using namespace std::chrono_literals;

constexpr const char* kPort = "/dev/ttyUSB0";

TEST(ProtocolFrames, RequestsOnTheWire) {
    EXPECT_EQ(request_frame(kCommandStart), (Bytes{0x31, 0x00, 0x31}));
    EXPECT_EQ(request_frame(kCommandFirstPacket), (Bytes{0x05, 0x00, 0x05}));
    EXPECT_EQ(request_frame(kCommandNextPacket), (Bytes{0x03, 0x00, 0x03}));
    EXPECT_EQ(request_frame(kCommandEnd), (Bytes{0x99, 0x00, 0x99}));
    EXPECT_EQ(re_request_frame(), (Bytes{0x01, 0x00, 0x00, 0x01}));
}

TEST(ProtocolFrames, ChecksumIsA16BitSumHighByteFirst) {
    EXPECT_EQ(reply_frame(0x07, Bytes{0x41, 0x42}), (Bytes{0x07, 0x41, 0x42, 0x00, 0x8A}));
    // 72 bytes of 0xFF and the code 0x07 sum to 0x47BF.
    const Bytes full(72, 0xFF);
    const Bytes framed = reply_frame(0x07, full);
    ASSERT_EQ(framed.size(), 75u);
    EXPECT_EQ(framed[73], 0x47);
    EXPECT_EQ(framed[74], 0xBF);
    // The sum wraps at 65536.
    EXPECT_EQ(frame_checksum(Bytes(300, 0xFF)), static_cast<std::uint16_t>(300 * 0xFF));
}

TEST(ProtocolAcceptance, RepliesThatPassAndFail) {
    EXPECT_TRUE(reply_accepted(Bytes{0x07, 0x41, 0x42, 0x00, 0x8A}));
    EXPECT_FALSE(reply_accepted(Bytes{0x07, 0x41, 0x00, 0x49})); // the sum is 0x0048
    EXPECT_TRUE(reply_accepted(Bytes{0x77}));
    EXPECT_TRUE(reply_accepted(Bytes{0x99}));
    EXPECT_TRUE(reply_accepted(Bytes{0x77, 0x12, 0x34})); // no checksum test for 0x77
    EXPECT_FALSE(reply_accepted(Bytes{0x05}));
    EXPECT_FALSE(reply_accepted(Bytes{0x07, 0x07}));
    EXPECT_TRUE(reply_accepted(Bytes{}));
    EXPECT_TRUE(reply_accepted(Bytes{0x00, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(reply_accepted(Bytes{0x33, 0x00, 0x33}));
}

TEST(ProtocolAcceptance, DataBytesSitBetweenCodeAndChecksum) {
    const Bytes reply{0x07, 0x41, 0x42, 0x00, 0x8A};
    const auto data = reply_data(reply);
    EXPECT_EQ(Bytes(data.begin(), data.end()), (Bytes{0x41, 0x42}));
    EXPECT_TRUE(reply_data(Bytes{0x08, 0x00, 0x08}).empty());
    EXPECT_TRUE(reply_data(Bytes{0x08}).empty());
}

// One request against a scripted port, on a fake clock.
struct RequestFixture : ::testing::Test {
    RequestFixture() { port.clock = &clock; }
    void script(std::vector<Bytes> replies, Bytes fallback = {}) {
        auto& device = port.devices[kPort];
        for (Bytes& r : replies) {
            device.steps.push_back({std::move(r)});
        }
        device.fallback.reply = std::move(fallback);
    }
    RequestResult send(std::uint8_t command) {
        LinkContext context{port, clock, timing, nullptr};
        last = send_request(kPort, command, context, ui);
        return last.result;
    }

    FakeSerialPort port;
    test::FakeClock clock;
    LinkTiming timing;
    RequestReply last;
    RecordingUi ui;
};

TEST_F(RequestFixture, DataPacketEndsTheExchangeAfterTheWait) {
    script({{0x07, 0x41, 0x42, 0x00, 0x8A}});
    EXPECT_EQ(send(kCommandFirstPacket), RequestResult::Success);
    EXPECT_EQ(port.requests_to(kPort), (std::vector<Bytes>{{0x05, 0x00, 0x05}}));
    EXPECT_EQ(last.exchange.bytes_received, 5u);
    EXPECT_EQ(last.exchange.bytes_sent, 3u);
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{400ms}));
    EXPECT_TRUE(ui.messages.empty());
    const auto reply = last.exchange.reply();
    EXPECT_EQ(Bytes(reply.begin(), reply.end()), (Bytes{0x07, 0x41, 0x42, 0x00, 0x8A}));
    EXPECT_TRUE(ui.pumps.empty()); // no pump when the first exchange answers
}

TEST_F(RequestFixture, BadChecksumIsFollowedByReRequestsUntilAReplyPasses) {
    script({{0x07, 0x41, 0x00, 0x49}, {0x05}, {}, {0x08, 0x41, 0x00, 0x49}});
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::Success);
    // The empty reply in between keeps the Re-request: the request is repeated unchanged.
    EXPECT_EQ(port.requests_to(kPort), (std::vector<Bytes>{{0x03, 0x00, 0x03},
                                                           {0x01, 0x00, 0x00, 0x01},
                                                           {0x01, 0x00, 0x00, 0x01},
                                                           {0x01, 0x00, 0x00, 0x01}}));
    EXPECT_EQ(last.exchange.code(), kReplyLastData);
    EXPECT_EQ(ui.pumps.size(), 3u); // between every two exchanges
}

TEST_F(RequestFixture, EmptyReadsRepeatTheSameRequest) {
    script({{}, {}, {0x07, 0x01, 0x00, 0x08}});
    EXPECT_EQ(send(kCommandFirstPacket), RequestResult::Success);
    EXPECT_EQ(port.requests_to(kPort), std::vector<Bytes>(3, Bytes{0x05, 0x00, 0x05}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RequestFixture, ErrorReports) {
    // Second byte 10 or 5: repeat after 400 ms without a message; anything else is reported.
    script({reply_frame(0x01, Bytes{10}),
            reply_frame(0x01, Bytes{5}),
            reply_frame(0x01, Bytes{3}),
            {0x07, 0x01, 0x00, 0x08}});
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::Success);
    EXPECT_EQ(port.requests_to(kPort), std::vector<Bytes>(4, Bytes{0x03, 0x00, 0x03}));
    EXPECT_EQ(clock.sleeps, std::vector<std::chrono::milliseconds>(4, 400ms));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], (RecordingUi::Message{"An unknown error was reported!", "Error!",
                                                    MessageIcon::Error}));
}

TEST_F(RequestFixture, ConfirmationIsShownAndCountsAsSuccess) {
    script({{0x33, 0x00, 0x33}});
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::Success);
    EXPECT_EQ(ui.messages, (std::vector<RecordingUi::Message>{
                               {"Received OK Confirmation Message", "Yahoo!", MessageIcon::None}}));
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(RequestFixture, LoneLinkLostByte) {
    script({{0x77}});
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::LinkLost);
    EXPECT_EQ(ui.messages, (std::vector<RecordingUi::Message>{
                               {"Meter Link was Lost!! ", "Error!", MessageIcon::Error}}));
}

TEST_F(RequestFixture, UnknownCodeShowsTheReplyAsText) {
    script({reply_frame(0x42, Bytes{'?', '!'})});
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::UnknownReply);
    // 0x42 0x3F 0x21 then the checksum 0x00 0xA2: the text stops at the zero byte.
    EXPECT_EQ(ui.messages, (std::vector<RecordingUi::Message>{
                               {"Unknown Reply received!", "????", MessageIcon::Question},
                               {"B?!", "More Success!", MessageIcon::None}}));

    // Control bytes never reach a terminal as they are.
    ui.messages.clear();
    script({reply_frame(0x1B, Bytes{'[', '2', 'J', 0x07, 0x7F, 0x0A, 0xB0, 0x01})});
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::UnknownReply);
    // The checksum 0x02 0x33 ends the text.
    EXPECT_EQ(ui.messages.at(1).text, "\\x1b[2J\\x07\\x7f\\x0a\xB0\\x01\\x023");
}

TEST_F(RequestFixture, PresenceByteInsideARequestIsAnUnknownReply) {
    script({{0x99}});
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::UnknownReply);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, "\x99");
}

TEST_F(RequestFixture, SilentBaseUnitIsGivenUpAfter25Exchanges) {
    script({});
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::GaveUp);
    EXPECT_EQ(port.exchanges.size(), 25u);
    EXPECT_TRUE(ui.messages.empty()); // no 0x77 message: the caller reports the lost link
    EXPECT_EQ(ui.pumps, std::vector<PumpMode>(24, PumpMode::All));
}

TEST_F(RequestFixture, EndlessErrorReportsAreGivenUpAfter30Seconds) {
    // Each exchange takes 1.2 s plus the 400 ms wait: 30 s pass before the 25th exchange.
    port.time_per_exchange = 1200ms;
    script({}, reply_frame(0x01, Bytes{10}));
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::GaveUp);
    EXPECT_EQ(port.exchanges.size(), 19u); // 19 x 1.6 s = 30.4 s
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RequestFixture, VanishedPortIsTriedForTheWholeBound) {
    port.devices[kPort].fallback.status = PortStatus::NoSuchPort;
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::GaveUp);
    EXPECT_EQ(port.exchanges.size(), 25u);
    EXPECT_EQ(last.exchange.status, PortStatus::NoSuchPort);
    EXPECT_EQ(last.exchange.bytes_received, 0u); // an exchange that could not open read nothing
    // 1.2 s between two attempts, with the window messages handled every 100 ms.
    EXPECT_EQ(clock.time.time_since_epoch(), 24 * 1200ms);
    EXPECT_EQ(ui.pumps.size(), 24u * 13);

    // Cancel is seen during the pause.
    port.exchanges.clear();
    ui.pump_results = {PumpResult::Continue, PumpResult::Continue, PumpResult::Cancel};
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::Cancelled);
    EXPECT_EQ(port.exchanges.size(), 1u);
}

TEST_F(RequestFixture, QuitAndCancelBetweenExchangesEndTheRequest) {
    script({});
    ui.pump_results = {PumpResult::Continue, PumpResult::Quit};
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::Quit);
    EXPECT_EQ(port.exchanges.size(), 2u);

    port.exchanges.clear();
    ui.pump_results = {PumpResult::Cancel};
    EXPECT_EQ(send(kCommandNextPacket), RequestResult::Cancelled);
    EXPECT_EQ(port.exchanges.size(), 1u);
}

} // namespace
} // namespace qm
