#include "link/download_procedure.h"

#include "link/link_transcript.h"
#include "link/protocol.h"
#include "support/fake_serial_port.h"
#include "support/recording_download_ui.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::FakeSerialPort;
using test::RecordingDownloadUi;
using test::RecordingUi;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const Bytes kPresence = {0x99};
const Bytes kStart = {0x31, 0x00, 0x31};
const Bytes kFirst = {0x05, 0x00, 0x05};
const Bytes kNext = {0x03, 0x00, 0x03};
const Bytes kEnd = {0x99, 0x00, 0x99};

// Model "ABC", job 1 with named areas and ID 123, one RH/T reading (RH 45.2, 72.5 F).
const Bytes kStream = {'A',  'B',  'C',  0x00, 0x02, 0x23, 0x01, 0,    0,    0,
                       0,    0,    0,    0,    0,    0x01, 0x01, 0x00, 0x30, 0x10,
                       0x15, 0x06, 0x09, 0x04, 0x52, 0x07, 0x25, 0x00};

// The stream cut into two data packets as the base unit sends them.
Bytes packet(std::uint8_t code, std::size_t from, std::size_t to) {
    return reply_frame(code, std::span(kStream).subspan(from, to - from));
}

struct Download : ::testing::Test {
    Download() {
        port.clock = &clock;
        options.transport = &port;
        options.clock = &clock;
        options.transcript = &transcript;
        options.ports =
            std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyS0"};
        // A previous data set that a failed download must leave alone.
        Reading old;
        old.job = 2;
        old.day = 1;
        old.mc = 12.5;
        store.all_readings = {old, old};
        store.annotations.set_title(RecordKind::Mc, 2, "T");
        records.rh(1).slots[0].value = 1.0;
    }
    // The base unit on `device`: presence byte, then the given replies.
    void base_unit(const std::string& device, std::vector<Bytes> replies) {
        auto& d = port.devices[device];
        d.steps.push_back({kPresence});
        for (Bytes& r : replies) {
            d.steps.push_back({std::move(r)});
        }
    }
    DownloadResult run() {
        return download_readings(link, store, meter, records, selection, ui, options);
    }
    void expect_store_unchanged_and_records_zeroed() {
        EXPECT_EQ(store.all_readings.size(), 2u);
        EXPECT_EQ(records.rh(1).slots[0].value, 0.0);
        // Titles and notes stay with the data they were made for.
        EXPECT_EQ(store.annotations.title(RecordKind::Mc, 2), "T");
    }

    FakeSerialPort port;
    test::FakeClock clock;
    LinkTranscript transcript;
    DownloadOptions options;
    LinkState link;
    ReadingStore store;
    MeterIdentity meter;
    JobRecords records;
    Selection selection;
    RecordingDownloadUi ui;
};

TEST_F(Download, BaseUnitOnTheFourthPort) {
    // Ports 1 to 3 exist but stay silent.
    for (const char* silent : {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0"}) {
        port.devices[silent];
    }
    base_unit("/dev/ttyS0", {packet(0x07, 0, 20), packet(0x08, 20, kStream.size()), {0x08, 0, 8}});
    const DownloadResult result = run();

    ASSERT_EQ(result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(result.port, "/dev/ttyS0");
    EXPECT_EQ(link.port_name, "/dev/ttyS0");
    EXPECT_EQ(link.port_number, 4);
    EXPECT_TRUE(link.link_established);
    EXPECT_EQ(result.stream, kStream);
    EXPECT_EQ(result.packets, 2u);
    ASSERT_EQ(port.exchanges.size(), 9u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(port.exchanges[static_cast<std::size_t>(i)].mode, TransferMode::Listen);
        EXPECT_EQ(port.exchanges[static_cast<std::size_t>(i)].device, (*options.ports)[i]);
    }
    EXPECT_EQ(port.requests_to("/dev/ttyS0"),
              (std::vector<Bytes>{kStart, kFirst, kNext, kNext, kEnd}));
    EXPECT_EQ(port.exchanges[4].mode, TransferMode::WriteOnly);
    EXPECT_EQ(port.exchanges[7].mode, TransferMode::WriteThenRead); // the extra Next packet
    EXPECT_EQ(port.exchanges[8].mode, TransferMode::WriteOnly);

    // Decoded once, with the post-download step.
    ASSERT_EQ(store.all_readings.size(), 1u);
    EXPECT_DOUBLE_EQ(store.all_readings[0].rh, 45.2);
    EXPECT_EQ(meter.model(), "ABC");
    EXPECT_EQ(store.job_ids[0], 123);
    EXPECT_TRUE(store.annotations.empty());
    EXPECT_TRUE(ui.boxes.messages.empty());
    EXPECT_THAT(ui.events, ElementsAre("create", "show", "end"));
    EXPECT_THAT(ui.lamps, ElementsAre(LampState::Off, LampState::Phase0, LampState::Phase1,
                                      LampState::Phase0));
    EXPECT_THAT(ui.progress, ElementsAre(std::pair<std::size_t, std::size_t>{1, 20},
                                         std::pair<std::size_t, std::size_t>{2, kStream.size()}));
    // Pumps: four probes of the search (wait dialog only), then one after each packet.
    EXPECT_THAT(ui.boxes.pumps, ElementsAre(PumpMode::WaitDialogOnly, PumpMode::WaitDialogOnly,
                                            PumpMode::WaitDialogOnly, PumpMode::WaitDialogOnly,
                                            PumpMode::All, PumpMode::All));
}

TEST_F(Download, FirstReplyIsTheLastPacket) {
    base_unit("/dev/ttyUSB0", {packet(0x08, 0, kStream.size())});
    const DownloadResult result = run();
    ASSERT_EQ(result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(port.requests_to("/dev/ttyUSB0"), (std::vector<Bytes>{kStart, kFirst, kNext, kEnd}));
    EXPECT_EQ(store.all_readings.size(), 1u);
}

TEST_F(Download, QuitDuringThePacketLoop) {
    base_unit("/dev/ttyUSB0", {packet(0x07, 0, 20), packet(0x08, 20, kStream.size())});
    ui.boxes.pump_results = {PumpResult::Continue, PumpResult::Quit}; // search, first packet
    const DownloadResult result = run();
    EXPECT_EQ(result.outcome, DownloadOutcome::Quit);
    EXPECT_TRUE(result.stream.empty());
    EXPECT_THAT(ui.events, ElementsAre("create", "show", "end", "post quit"));
    // No End frame: the base unit is left as the quit found it.
    EXPECT_EQ(port.requests_to("/dev/ttyUSB0"), (std::vector<Bytes>{kStart, kFirst}));
    expect_store_unchanged_and_records_zeroed();
}

TEST_F(Download, CancelDuringTheSearchAndWhileABaseUnitIsStuck) {
    port.devices["/dev/ttyUSB0"];
    ui.boxes.pump_results = {PumpResult::Continue, PumpResult::Cancel};
    EXPECT_EQ(run().outcome, DownloadOutcome::Cancelled);
    EXPECT_EQ(port.exchanges.size(), 1u); // port 1 probed, port 2 does not exist, then cancel
    EXPECT_THAT(ui.events, ElementsAre("create", "end"));
    EXPECT_TRUE(ui.boxes.messages.empty());

    // Stuck inside one request: the pump between its exchanges sees the Cancel button.
    port.devices.clear();
    port.exchanges.clear();
    ui.events.clear();
    base_unit("/dev/ttyUSB0", {});
    ui.boxes.pump_results = {PumpResult::Continue, PumpResult::Continue, PumpResult::Cancel};
    EXPECT_EQ(run().outcome, DownloadOutcome::Cancelled);
    EXPECT_EQ(port.requests_to("/dev/ttyUSB0"), (std::vector<Bytes>{kStart, kFirst, kFirst}));
    EXPECT_THAT(ui.events, ElementsAre("create", "show", "end"));
    expect_store_unchanged_and_records_zeroed();
}

TEST_F(Download, NoBaseUnitAfterTwentyPasses) {
    port.devices["/dev/ttyUSB0"];
    link.link_established = true;
    const DownloadResult result = run();
    EXPECT_EQ(result.outcome, DownloadOutcome::NotFound);
    EXPECT_FALSE(link.link_established);
    EXPECT_EQ(port.exchanges.size(), 20u);       // one existing port, 20 passes
    EXPECT_EQ(ui.boxes.pumps.size(), 20u * 257); // a pump after every port number
    EXPECT_THAT(ui.events,
                ElementsAre("create",
                            "wait box Communication could not be established! Please check all "
                            "connections and status of the base unit and meter and try again.",
                            "end"));
    expect_store_unchanged_and_records_zeroed();
}

TEST_F(Download, RefusedPortGetsAPermissionHint) {
    port.devices["/dev/ttyUSB1"].fallback = {{}, PortStatus::OpenFailed, EACCES};
    EXPECT_EQ(run().outcome, DownloadOutcome::NotFound);
    ASSERT_EQ(ui.boxes.messages.size(), 2u);
    EXPECT_THAT(ui.boxes.messages[0].text, HasSubstr("Communication could not be established!"));
    const std::string& hint = ui.boxes.messages[1].text;
    EXPECT_THAT(hint, HasSubstr("/dev/ttyUSB1"));
    EXPECT_THAT(hint, HasSubstr("\"dialout\""));
    EXPECT_THAT(hint, HasSubstr("log in again"));
    EXPECT_THAT(format_transcript(transcript), HasSubstr("cannot open: Permission denied"));
}

TEST_F(Download, BusyPortGetsNoPermissionHint) {
    port.devices["/dev/ttyUSB1"].fallback = {{}, PortStatus::Busy, EWOULDBLOCK};
    EXPECT_EQ(run().outcome, DownloadOutcome::NotFound);
    EXPECT_EQ(ui.boxes.messages.size(), 1u);
}

TEST_F(Download, WaitDialogThatCannotBeCreated) {
    ui.create_succeeds = false;
    EXPECT_EQ(run().outcome, DownloadOutcome::WindowFailed);
    EXPECT_EQ(ui.boxes.messages,
              (std::vector<RecordingUi::Message>{
                  {"Window Creation Failed!(hwin1)", "Error!", MessageIcon::Warning}}));
    EXPECT_THAT(ui.events, ElementsAre("create", "box Window Creation Failed!(hwin1)"));
    EXPECT_TRUE(port.exchanges.empty());
    expect_store_unchanged_and_records_zeroed();
}

TEST_F(Download, PresenceLeftFromAnEarlierDownloadSkipsTheSearch) {
    // An earlier download that ended on a presence byte inside a request left it in the buffer.
    link.receive_buffer[0] = 0x99;
    link.port_name = "/dev/ttyACM0";
    port.devices["/dev/ttyACM0"].steps = {{packet(0x08, 0, kStream.size())}};
    EXPECT_EQ(run().outcome, DownloadOutcome::Completed);
    EXPECT_EQ(port.requests_to("/dev/ttyACM0"), (std::vector<Bytes>{kStart, kFirst, kNext, kEnd}));
    EXPECT_EQ(port.exchanges.front().mode, TransferMode::WriteOnly);
}

} // namespace
} // namespace qm
