// Downloads from rq5200-sim on a real pseudo-terminal.
#include "archive/visit_archive.h"
#include "link/download_procedure.h"
#include "link/link_transcript.h"
#include "link/protocol.h"
#include "link/serial_port.h"
#include "state/app_state.h"
#include "support/recording_download_ui.h"
#include "support/sim_process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace qm {
namespace {

using namespace test; // the emulator, its scratch folders, Bytes, fs and the chrono literals
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST_F(SimDownload, CleanDownloadEqualsDecodingTheImage) {
    Sim sim({});
    ASSERT_GT(sim.image.size(), 3 * 72u); // several packets
    const DownloadResult result = download({sim.link});
    ASSERT_EQ(result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(result.stream, sim.image);
    EXPECT_EQ(result.packets, (sim.image.size() + 71) / 72);
    expect_store_holds(sim.image);
    EXPECT_TRUE(ui.boxes.messages.empty());
    EXPECT_EQ(transcript_count("checksum failed"), 0u);

    // The emulator survives and serves the next download as well.
    ui.events.clear();
    EXPECT_EQ(download({sim.link}).outcome, DownloadOutcome::Completed);
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(sim.link))); // the link is removed on SIGTERM
}

TEST_F(SimDownload, BaseUnitFoundOnTheFourthPort) {
    // Ports 1 to 3: pseudo-terminals with nothing behind them.
    std::vector<int> masters;
    std::vector<std::string> ports;
    for (int i = 0; i < 3; ++i) {
        const int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(m, 0);
        ::grantpt(m);
        ::unlockpt(m);
        masters.push_back(m);
        ports.emplace_back(::ptsname(m));
    }
    Sim sim({});
    ports.push_back(sim.link);
    const DownloadResult result = download(ports);
    for (const int m : masters) {
        ::close(m);
    }
    ASSERT_EQ(result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(app.link.port_number, 4);
    EXPECT_EQ(app.link.port_name, sim.link);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(transcript.entries[static_cast<std::size_t>(i) + 1].port, ports[i]);
        EXPECT_TRUE(transcript.entries[static_cast<std::size_t>(i) + 1].received.empty());
    }
    expect_store_holds(sim.image);
}

TEST_F(SimDownload, CorruptedChecksumIsRequestedAgain) {
    Sim sim({"--corrupt-checksum", "2"});
    const DownloadResult result = download({sim.link});
    ASSERT_EQ(result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(result.stream, sim.image);
    EXPECT_EQ(transcript_count("checksum failed"), 1u);
    EXPECT_EQ(transcript_count("sent 01 00 00 01"), 1u);
    EXPECT_TRUE(ui.boxes.messages.empty());
}

TEST_F(SimDownload, ReplyInTwoPartsIsRequestedAgain) {
    Sim sim({"--split", "2"});
    const DownloadResult result = download({sim.link});
    ASSERT_EQ(result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(result.stream, sim.image);
    EXPECT_GE(transcript_count("checksum failed"), 1u);
    EXPECT_GE(transcript_count("sent 01 00 00 01"), 1u);
}

TEST_F(SimDownload, ConfirmationAndErrorReportsDoNotBreakTheDownload) {
    Sim sim({"--confirm", "2", "--error-report", "3:10"});
    const DownloadResult result = download({sim.link});
    ASSERT_EQ(result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(result.stream, sim.image);
    EXPECT_EQ(ui.boxes.messages,
              (std::vector<RecordingUi::Message>{
                  {"Received OK Confirmation Message", "Yahoo!", MessageIcon::None}}));
}

TEST_F(SimDownload, UnknownErrorReportIsShownAndTheDownloadGoesOn) {
    Sim sim({"--error-report", "2:7"});
    const DownloadResult result = download({sim.link});
    ASSERT_EQ(result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(result.stream, sim.image);
    EXPECT_EQ(ui.boxes.messages,
              (std::vector<RecordingUi::Message>{
                  {"An unknown error was reported!", "Error!", MessageIcon::Error}}));
}

TEST_F(SimDownload, LinkLostAbandonsTheDownload) {
    Sim sim({"--link-lost", "2"});
    EXPECT_EQ(download({sim.link}).outcome, DownloadOutcome::LinkLost);
    EXPECT_THAT(ui.events, ElementsAre("create", "show", "box Meter Link was Lost!! ",
                                       "box No longer receiving message", "end"));
    EXPECT_EQ(transcript_count("sent 99 00 99"), 0u); // the base unit ended it itself
    expect_failed_download_kept_the_store();
    // Found again at once, and the link is lost at packet 2 again.
    ui = RecordingDownloadUi();
    EXPECT_EQ(download({sim.link}).outcome, DownloadOutcome::LinkLost);
    EXPECT_EQ(ui.progress.size(), 1u);
}

TEST_F(SimDownload, UnknownCodeAbandonsTheDownload) {
    Sim sim({"--unknown-code", "3:0x45"});
    EXPECT_EQ(download({sim.link}).outcome, DownloadOutcome::LinkLost);
    ASSERT_EQ(ui.boxes.messages.size(), 3u);
    EXPECT_EQ(ui.boxes.messages[0].text, "Unknown Reply received!");
    EXPECT_EQ(ui.boxes.messages[1].text, "E??");
    EXPECT_EQ(ui.boxes.messages[2].text, "No longer receiving message");
    expect_failed_download_kept_the_store();
}

TEST_F(SimDownload, SilentBaseUnitIsGivenUpWithTheEndFrame) {
    options.timing.read_polls = 40;
    Sim sim({"--silent-after", "1"});
    EXPECT_EQ(download({sim.link}).outcome, DownloadOutcome::LinkLost);
    EXPECT_THAT(ui.events, ElementsAre("create", "show", "box No longer receiving message", "end"));
    EXPECT_EQ(transcript_count("sent 03 00 03"), 25u);
    EXPECT_EQ(transcript_count("sent 99 00 99"), 1u);
    expect_failed_download_kept_the_store();
    // Silent again after packet 1, so the second download is given up the same way.
    transcript.entries.clear();
    EXPECT_EQ(download({sim.link}).outcome, DownloadOutcome::LinkLost);
    EXPECT_EQ(transcript_count("sent 99 00 99"), 1u);
}

TEST_F(SimDownload, CancelLeavesTheBaseUnitReady) {
    Sim sim({});
    ui.cancel_at_packet = 2;
    EXPECT_EQ(download({sim.link}).outcome, DownloadOutcome::Cancelled);
    EXPECT_EQ(transcript_count("write  sent 99 00 99  ok"), 1u);
    expect_failed_download_kept_the_store();
    expect_next_download_completes(sim);
}

TEST_F(SimDownload, BaseUnitWithoutEndIsGivenUp) {
    options.timing.max_stream_bytes = 1000;
    for (const auto& fault :
         {std::vector<std::string>{"--endless"}, std::vector<std::string>{"--empty-after", "2"}}) {
        SCOPED_TRACE(fault[0]);
        Sim sim(fault);
        transcript.entries.clear();
        ui = RecordingDownloadUi();
        EXPECT_EQ(download({sim.link}).outcome, DownloadOutcome::LinkLost);
        EXPECT_THAT(ui.boxes.messages.at(0).text, HasSubstr("The base unit kept sending"));
        EXPECT_EQ(transcript_count("sent 99 00 99"), 1u);
        expect_failed_download_kept_the_store();
    }
}

// The fullest meter (five jobs of 1600 RH/T readings behind a 19-character model) downloads whole
// within the download's time bound, which scales with the timing: with 10 ms waits the bound is
// 87 s and the download takes about 20.
TEST_F(SimDownload, FullestMeterCompletesWithinTheTimeBound) {
    const auto bcd = [](std::size_t v) {
        return static_cast<std::uint8_t>(v / 10 % 10 * 16 + v % 10);
    };
    Bytes stream = {'F',  'U',  'L',  'L',  'E',  'S',  'T',  ' ',  'M',  'E',  'T',
                    'E',  'R',  ' ',  'O',  'F',  ' ',  '1',  '9',  0x00, 0x3E, 0x01,
                    0x01, 0x02, 0x01, 0x03, 0x01, 0x04, 0x01, 0x05, 0x01};
    for (std::size_t i = 0; i < kFullestMeterReadings; ++i) {
        const auto job = static_cast<std::uint8_t>(1 + i / 1600);
        const auto position = static_cast<std::uint8_t>(i % 96);
        stream.insert(stream.end(), {1, job, position, bcd(i % 60), 0x14, bcd(1 + i % 28),
                                     bcd(1 + i % 12), 0x09, 0x04, 0x52, 0x07, 0x25, 0x00});
    }
    ASSERT_EQ(stream.size(), kFullestMeterBytes);
    const fs::path dir = scratch_dir();
    write_file(dir / "fullest.stream", stream);
    Sim sim({"--stream", (dir / "fullest.stream").string()}, false);
    options.timing.write_wait = options.timing.read_gap = options.timing.packet_wait = 10ms;
    const auto start = std::chrono::steady_clock::now();
    const DownloadResult result = download({sim.link});
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(result.packets, kFullestMeterPackets);
    EXPECT_EQ(app.store.all_readings.size(), kFullestMeterReadings);
    expect_store_holds(stream);
    EXPECT_LT(took, download_time_limit(options.timing));
    fs::remove_all(dir);
}

// The emulator as the real base unit: from Start to End it sends no presence byte, even to a
// program that opens the port anew; a new Start begins the download again.
TEST_F(SimDownload, BaseUnitInDownloadModeIsSilentUntilEndOrANewStart) {
    Sim sim({});
    PosixSerialTransport posix;
    SteadyLinkClock clock;
    LinkTiming patient = options.timing;
    patient.listen_polls = 2000; // a loaded machine may take a while to start the emulator
    LinkContext context{posix, clock, patient};
    ExchangeResult last;
    const auto exchange = [&](TransferMode mode, std::uint8_t command) {
        last = serial_exchange(sim.link, mode, request_frame(command), context);
        return last.code();
    };
    // A program that starts a download and goes away without End.
    ASSERT_EQ(exchange(TransferMode::Listen, 0), kPresenceByte);
    exchange(TransferMode::WriteOnly, kCommandStart);
    ASSERT_EQ(exchange(TransferMode::WriteThenRead, kCommandFirstPacket), kReplyData);

    options.timing.search_passes = 3;
    EXPECT_EQ(download({sim.link}).outcome, DownloadOutcome::NotFound);

    exchange(TransferMode::WriteOnly, kCommandStart);
    ASSERT_EQ(exchange(TransferMode::WriteThenRead, kCommandFirstPacket), kReplyData);
    const auto first = reply_data(last.reply());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), sim.image.begin()));
    exchange(TransferMode::WriteOnly, kCommandEnd);
    expect_next_download_completes(sim);
}

TEST_F(SimDownload, NoBaseUnitWhenTheEmulatorHasGone) {
    options.timing.search_passes = 2;
    options.timing.listen_polls = 20;
    const fs::path dir = scratch_dir();
    EXPECT_EQ(download({(dir / "nothing-here").string()}).outcome, DownloadOutcome::NotFound);
    EXPECT_FALSE(app.link.link_established);
    expect_failed_download_kept_the_store();
    fs::remove_all(dir);
}

TEST(DemoMeter, FiveJobsWithEveryKindBothLocationStylesAndBothClocks) {
    for (const char* model : {"TRK ALFA", "VKM2 SCAN"}) {
        SCOPED_TRACE(model);
        const Sim sim({"--model", model, "--seed", "7"});
        AppState app;
        const DecodeReport report =
            decode_download(sim.image, app.store, app.meter, app.job_records, app.selection);
        EXPECT_FALSE(report.no_data);
        EXPECT_EQ(report.trailing_bytes, 0u);
        EXPECT_EQ(report.dropped_bad_job + report.dropped_bad_location, 0u);
        EXPECT_EQ(report.readings_kept, 40u);
        EXPECT_EQ(app.meter.model(), model);
        std::set<int> jobs, kinds;
        bool named = false, numbered = false, twelve = false, twenty_four = false;
        for (const Reading& r : app.store.all_readings) {
            jobs.insert(r.job);
            kinds.insert(r.kind);
            (r.location < 32 ? named : numbered) = true;
            (hour_is_12h(r.hour_code) ? twelve : twenty_four) = true;
            EXPECT_GE(r.day, 1);
            EXPECT_LE(r.month, 12);
            EXPECT_LT(decoded_hour(r.hour_code), 24);
            if (is_rh(r)) {
                EXPECT_GT(r.rh, 10.0);
                EXPECT_LT(r.rh, 100.0);
            }
        }
        EXPECT_EQ(jobs, (std::set<int>{1, 2, 3, 4, 5}));
        EXPECT_EQ(kinds, (std::set<int>{0, 1, 2, 3}));
        EXPECT_TRUE(named && numbered && twelve && twenty_four);
        EXPECT_EQ(app.meter.not_scanner, std::string_view(model) == "VKM2 SCAN" ? 0 : -1);
    }
    // The seed decides the data.
    EXPECT_EQ(Sim({"--seed", "3"}).image, Sim({"--seed", "3"}).image);
    EXPECT_NE(Sim({"--seed", "3"}).image, Sim({"--seed", "4"}).image);
}

TEST(SimCommandLine, BadUseChangesNothing) {
    const fs::path dir = scratch_dir();
    EXPECT_EQ(wait_exit(spawn({QM_SIM_PATH}, dir), 5s), 2);
    EXPECT_EQ(
        wait_exit(spawn({QM_SIM_PATH, (dir / "l").string(), "--demo", "--split", "x"}, dir), 5s),
        2);
    // A file in the way of the link is left alone.
    const fs::path file = dir / "precious";
    std::ofstream(file) << "data";
    EXPECT_EQ(wait_exit(spawn({QM_SIM_PATH, file.string(), "--demo"}, dir), 5s), 1);
    EXPECT_EQ(read_file(file), (Bytes{'d', 'a', 't', 'a'}));
    EXPECT_EQ(
        wait_exit(spawn({QM_SIM_PATH, (dir / "l").string(), "--stream", "/nonexistent"}, dir), 5s),
        1);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "l")));
    fs::remove_all(dir);
}

// One whole download with the base unit's own timing, through qmtool, kept in the archive.
TEST(SimWithRealTiming, QmtoolDownloadWritesEveryJob) {
    Sim demo({"--once", "--readings", "12", "--presence-ms", "200"});
    const fs::path out = demo.dir() / "jobs";
    const std::string archive = (demo.dir() / "archive.sqlite").string();
    const pid_t tool =
        spawn({QM_QMTOOL_PATH, "--archive", archive, "download", "--port", demo.link, "--out",
               out.string(), "--dump", (demo.dir() / "dump").string(), "--log",
               (demo.dir() / "log").string(), "--lock-dir", demo.dir().string()},
              demo.dir());
    EXPECT_EQ(wait_exit(tool, 30s), 0);
    EXPECT_EQ(demo.wait(5s), 0); // --once: the emulator ends after the download
    EXPECT_FALSE(fs::exists(fs::symlink_status(demo.link)));
    EXPECT_EQ(read_file(demo.dir() / "dump"), demo.image);
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(out)) {
        files.insert(entry.path().filename().string().substr(0, 5));
    }
    EXPECT_EQ(files, (std::set<std::string>{"Job1-", "Job2-", "Job3-", "Job4-", "Job5-"}));
    const Bytes log = read_file(demo.dir() / "log");
    const std::string text(log.begin(), log.end());
    EXPECT_THAT(text, HasSubstr("listen  received 99  ok"));
    EXPECT_THAT(text, HasSubstr("write  sent 99 00 99  ok"));
    const OpenedArchive kept = open_archive(archive);
    ASSERT_TRUE(kept.archive) << kept.message;
    const std::vector<VisitSummary> visits = kept.archive->list_visits("", 0, 10).value();
    ASSERT_EQ(visits.size(), 1U);
    EXPECT_EQ(visits[0].source, VisitSource::Download);
    EXPECT_EQ(visits[0].jobs.size(), 5U);
    Bytes source;
    VisitSource kind = VisitSource::File;
    ASSERT_TRUE(kept.archive->read_source(visits[0].id, source, kind));
    EXPECT_EQ(source, demo.image);
}

} // namespace
} // namespace qm
