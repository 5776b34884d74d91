#include "link/download_procedure.h"

#include "link/link_transcript.h"
#include "link/protocol.h"
#include "support/fake_serial_port.h"
#include "support/recording_download_ui.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::FakeSerialPort;
using test::RecordingDownloadUi;
using test::RecordingUi;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

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
        options.lock_dir = lock_dir;
        std::filesystem::remove_all(lock_dir);
        std::filesystem::create_directories(lock_dir);
        // A previous data set that a failed download must leave alone.
        Reading old;
        old.job = 2;
        old.day = 1;
        old.mc = 12.5;
        store.all_readings = {old, old};
        store.annotations.set_title(RecordKind::Mc, 2, "T");
        records.rh(1).slots[0].value = 1.0;
        meter.set_model("OLD METER");
        selection.current_job_index = 1;
    }
    ~Download() override { std::filesystem::remove_all(lock_dir); }
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
    // A cancelled or failed download changes nothing the user had.
    void expect_nothing_changed() {
        EXPECT_EQ(store.all_readings.size(), 2u);
        EXPECT_EQ(records.rh(1).slots[0].value, 1.0);
        // Titles and notes stay with the data they were made for.
        EXPECT_EQ(store.annotations.title(RecordKind::Mc, 2), "T");
        EXPECT_EQ(meter.model(), "OLD METER");
        EXPECT_EQ(selection.current_job_index, 1);
    }
    std::string lock_file(const std::string& name) const { return (lock_dir / name).string(); }

    const std::filesystem::path lock_dir =
        std::filesystem::path(::testing::TempDir()) / ("locks-" + std::to_string(::getpid()));

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

TEST_F(Download, LampsBlinkOnlyWhenAPacketArrives) {
    // The first request is answered only the second time, then by a confirmation; the only
    // packet is the last one.
    base_unit("/dev/ttyUSB0", {{}, {0x33, 0x00, 0x33}, packet(0x08, 0, kStream.size())});
    const DownloadResult result = run();
    ASSERT_EQ(result.outcome, DownloadOutcome::Completed);
    EXPECT_EQ(port.requests_to("/dev/ttyUSB0"),
              (std::vector<Bytes>{kStart, kFirst, kFirst, kNext, kNext, kEnd}));
    EXPECT_EQ(store.all_readings.size(), 1u);
    EXPECT_THAT(ui.lamps, ElementsAre(LampState::Off, LampState::Phase0, LampState::Phase1));
    EXPECT_THAT(ui.statuses, ElementsAre("Looking for the base unit on /dev/ttyUSB0\x85",
                                         "No answer yet, asking again (2 of 25)"));
    EXPECT_THAT(ui.progress, ElementsAre(std::pair<std::size_t, std::size_t>{1, kStream.size()}));
    // A completed download's data replaces the old, the job records, titles and notes and the
    // selection with it.
    EXPECT_EQ(records.rh(1).slots[0].value, 0.0);
    EXPECT_TRUE(store.annotations.empty());
    EXPECT_EQ(selection.current_job_index, 0);
}

TEST(WaitDialogTexts, SearchRepeatAndProgress) {
    EXPECT_EQ(searching_text("/dev/ttyUSB0"), "Looking for the base unit on /dev/ttyUSB0\x85");
    EXPECT_EQ(asking_again_text(3, 25), "No answer yet, asking again (3 of 25)");
    EXPECT_EQ(progress_text(0, 0), "Received 0 packets (0 bytes)");
    EXPECT_EQ(progress_text(1, 1), "Received 1 packet (1 byte)");
    EXPECT_EQ(progress_text(3, 216), "Received 3 packets (216 bytes)");
}

TEST_F(Download, QuitAndCancelSendTheEndFrameOnceTheBaseUnitWasStarted) {
    base_unit("/dev/ttyUSB0", {packet(0x07, 0, 20), packet(0x08, 20, kStream.size())});
    ui.boxes.pump_results = {PumpResult::Continue, PumpResult::Quit}; // search, first packet
    const DownloadResult result = run();
    EXPECT_EQ(result.outcome, DownloadOutcome::Quit);
    EXPECT_TRUE(result.stream.empty());
    EXPECT_THAT(ui.events, ElementsAre("create", "show", "end", "post quit"));
    EXPECT_EQ(port.requests_to("/dev/ttyUSB0"), (std::vector<Bytes>{kStart, kFirst, kEnd}));
    EXPECT_EQ(port.exchanges.back().mode, TransferMode::WriteOnly);
    expect_nothing_changed();

    // Cancel during the search: no base unit was started, so nothing is sent.
    port.devices.clear();
    port.exchanges.clear();
    ui = RecordingDownloadUi();
    port.devices["/dev/ttyUSB0"];
    ui.boxes.pump_results = {PumpResult::Continue, PumpResult::Cancel};
    EXPECT_EQ(run().outcome, DownloadOutcome::Cancelled);
    EXPECT_EQ(port.exchanges.size(), 1u); // port 1 probed, port 2 does not exist, then cancel
    EXPECT_THAT(ui.events, ElementsAre("create", "end"));
    EXPECT_TRUE(ui.boxes.messages.empty());

    // Stuck inside one request: the pump between its exchanges sees the Cancel button.
    port.devices.clear();
    port.exchanges.clear();
    ui = RecordingDownloadUi();
    base_unit("/dev/ttyUSB0", {});
    ui.boxes.pump_results = {PumpResult::Continue, PumpResult::Continue, PumpResult::Cancel};
    EXPECT_EQ(run().outcome, DownloadOutcome::Cancelled);
    EXPECT_EQ(port.requests_to("/dev/ttyUSB0"), (std::vector<Bytes>{kStart, kFirst, kFirst, kEnd}));
    EXPECT_THAT(ui.events, ElementsAre("create", "show", "end"));
    expect_nothing_changed();
}

TEST_F(Download, GiveUpSendsTheEndFrameALostLinkDoesNot) {
    base_unit("/dev/ttyUSB0", {}); // silent after the presence byte
    EXPECT_EQ(run().outcome, DownloadOutcome::LinkLost);
    std::vector<Bytes> requests = {kStart};
    requests.insert(requests.end(), 25, kFirst);
    requests.push_back(kEnd);
    EXPECT_EQ(port.requests_to("/dev/ttyUSB0"), requests);
    EXPECT_THAT(ui.events, ElementsAre("create", "show", "box No longer receiving message", "end"));
    EXPECT_EQ(ui.statuses.back(), "No answer yet, asking again (25 of 25)");
    EXPECT_THAT(ui.lamps, ElementsAre(LampState::Off, LampState::Phase0));
    expect_nothing_changed();

    port.devices.clear();
    port.exchanges.clear();
    base_unit("/dev/ttyUSB0", {packet(0x07, 0, 20), {0x77}});
    EXPECT_EQ(run().outcome, DownloadOutcome::LinkLost);
    EXPECT_EQ(port.requests_to("/dev/ttyUSB0"), (std::vector<Bytes>{kStart, kFirst, kNext}));
    expect_nothing_changed();
}

// A base unit that never sends its last packet is given up at the download's bounds: its bytes,
// its empty packets in a row (scattered ones do not count, so a healthy download with many of
// them completes) and its time, twice what the fullest meter takes at the protocol's pace.
TEST_F(Download, BaseUnitWithoutEndIsGivenUp) {
    EXPECT_EQ(kFullestMeterPackets, 1445u);
    EXPECT_EQ(download_time_limit(LinkTiming{}), std::chrono::milliseconds{1'589'500});
    const std::size_t packets_in_time = download_time_limit(options.timing) / kPacketWait + 1;
    const Bytes empty = reply_frame(0x07, {});
    // 75 empty packets in runs of 24, each run ended by a data packet, then the last packet.
    std::vector<Bytes> scattered;
    for (std::size_t run = 0; run < 3; ++run) {
        scattered.insert(scattered.end(), 24, empty);
        scattered.push_back(packet(0x07, run, run + 1));
    }
    scattered.push_back(packet(0x08, 3, kStream.size()));
    struct Case {
        const char* name;
        std::vector<Bytes> replies;
        Bytes reply_for_ever; // after the replies, sent for every request
        std::size_t max_bytes;
        std::size_t packets;
        const char* message; // nullptr: the download completes
    };
    const char* endless =
        "The base unit kept sending data far beyond what any meter holds, without its last "
        "packet. The download was stopped.";
    const Case cases[] = {
        {"empty packets",
         {},
         empty,
         kMaxStreamBytes,
         25,
         "The base unit kept sending empty packets. The download was stopped."},
        {"data for ever", {}, packet(0x07, 0, 20), 100, 6, endless},
        {"a byte a packet for ever",
         {},
         packet(0x07, 0, 1),
         kMaxStreamBytes,
         packets_in_time,
         endless},
        {"scattered empty packets", scattered, {}, kMaxStreamBytes, 76, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        port.devices.clear();
        port.exchanges.clear();
        ui = RecordingDownloadUi();
        base_unit("/dev/ttyUSB0", c.replies);
        port.devices["/dev/ttyUSB0"].fallback.reply = c.reply_for_ever;
        options.timing.max_stream_bytes = c.max_bytes;
        EXPECT_EQ(run().outcome,
                  c.message ? DownloadOutcome::LinkLost : DownloadOutcome::Completed);
        EXPECT_EQ(ui.progress.size(), c.packets);
        EXPECT_EQ(port.requests_to("/dev/ttyUSB0").back(), kEnd);
        if (c.message != nullptr) {
            EXPECT_THAT(ui.events,
                        ElementsAre("create", "show", std::string("box ") + c.message, "end"));
            expect_nothing_changed();
        } else {
            EXPECT_THAT(ui.events, ElementsAre("create", "show", "end"));
            EXPECT_EQ(store.all_readings.size(), 1u);
        }
    }
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
    expect_nothing_changed();
}

TEST_F(Download, RefusedPortGetsAPermissionHint) {
    port.devices["/dev/ttyUSB1"].fallback = {{}, PortStatus::OpenFailed, EACCES};
    options.device_ownership = [](const std::string&) {
        return DeviceOwnership{"dialout", 20, 0660};
    };
    EXPECT_EQ(run().outcome, DownloadOutcome::NotFound);
    ASSERT_EQ(ui.boxes.messages.size(), 2u);
    EXPECT_THAT(ui.boxes.messages[0].text, HasSubstr("Communication could not be established!"));
    EXPECT_EQ(ui.boxes.messages[1].text,
              permission_hint("/dev/ttyUSB1", DeviceOwnership{"dialout", 20, 0660}));
    EXPECT_THAT(format_transcript(transcript), HasSubstr("cannot open: Permission denied"));
}

TEST(PermissionHint, JoiningTheGroupOnlyWhereItHelps) {
    struct Case {
        std::optional<DeviceOwnership> owner;
        const char* names;  // the device's group and mode as the hint gives them
        const char* advice; // what the user is told to do
    };
    const Case cases[] = {
        {DeviceOwnership{"dialout", 20, 0660}, "group \"dialout\" with the mode 0660",
         "sudo usermod -aG dialout $USER\n\nthen log out and log in again."},
        {DeviceOwnership{"root", 0, 0600}, "group \"root\" with the mode 0600", "udev rule"},
        {DeviceOwnership{"root", 0, 0660}, "group \"root\" with the mode 0660", "udev rule"},
        {DeviceOwnership{"uucp", 14, 0600}, "group \"uucp\" with the mode 0600", "udev rule"},
        {std::nullopt, "could not be opened: permission denied.", "group \"dialout\""},
    };
    for (const Case& c : cases) {
        const std::string hint = permission_hint("/dev/ttyUSB0", c.owner);
        SCOPED_TRACE(hint);
        EXPECT_THAT(hint, HasSubstr("The serial port /dev/ttyUSB0 could not be opened"));
        EXPECT_THAT(hint, HasSubstr(c.names));
        EXPECT_THAT(hint, HasSubstr(c.advice));
        EXPECT_THAT(hint, Not(HasSubstr("-aG root")));
        EXPECT_THAT(hint, Not(HasSubstr("-aG uucp")));
    }
    EXPECT_THAT(permission_hint("/dev/ttyUSB0", DeviceOwnership{"root", 0, 0600}),
                HasSubstr("KERNEL==\"ttyUSB0\", GROUP=\"dialout\", MODE=\"0660\""));
}

TEST_F(Download, BusyPortsAreRefusedAtOnce) {
    // Held by flock: nobody tells the holder's PID.
    port.devices["/dev/ttyUSB1"].fallback = {{}, PortStatus::Busy, EWOULDBLOCK};
    EXPECT_EQ(run().outcome, DownloadOutcome::PortInUse);
    EXPECT_EQ(port.exchanges.size(), 1u); // one pass over the ports
    EXPECT_EQ(ui.boxes.messages, (std::vector<RecordingUi::Message>{
                                     {"The port /dev/ttyUSB1 is in use by another program.",
                                      "Error!", MessageIcon::Error}}));

    // Locked by a program that is still running: its port is not even opened.
    port.devices.clear();
    port.exchanges.clear();
    ui = RecordingDownloadUi();
    base_unit("/dev/ttyUSB0", {packet(0x08, 0, kStream.size())});
    const int holder = ::getppid();
    std::ofstream(lock_file("LCK..ttyUSB0"))
        << std::string(10 - std::to_string(holder).size(), ' ') << holder << "\n";
    EXPECT_EQ(run().outcome, DownloadOutcome::PortInUse);
    EXPECT_TRUE(port.exchanges.empty());
    ASSERT_EQ(ui.boxes.messages.size(), 1u);
    EXPECT_EQ(ui.boxes.messages[0].text,
              "The port /dev/ttyUSB0 is in use by another program (PID " + std::to_string(holder) +
                  ").");
    EXPECT_TRUE(std::filesystem::exists(lock_file("LCK..ttyUSB0")));
    expect_nothing_changed();
}

TEST_F(Download, PortIsLockedForTheWholeDownload) {
    // The program keeps its locks with every other serial program's, the tests in a folder of
    // their own; locks of running programs on other devices there do not matter.
    EXPECT_EQ(DownloadOptions{}.lock_dir, std::filesystem::path("/run/lock"));
    for (int i = 0; i <= 80; ++i) {
        std::ofstream(lock_file("LCK.." + std::to_string(i))) << "         1\n";
    }
    std::ofstream(lock_file("LCK..ttyS0")) << "         1\n";
    // A lock left by a program that has ended is taken over.
    const pid_t ended = ::fork();
    if (ended == 0) {
        ::_exit(0);
    }
    ::waitpid(ended, nullptr, 0);
    std::ofstream(lock_file("LCK..ttyUSB0")) << "  " << ended << "\n";
    base_unit("/dev/ttyUSB0", {packet(0x07, 0, 20), packet(0x08, 20, kStream.size())});
    char mine[16];
    std::snprintf(mine, sizeof mine, "%10d\n", static_cast<int>(::getpid()));
    std::vector<std::string> held;
    port.on_transfer = [&](const std::string&) {
        std::ifstream in(lock_file("LCK..ttyUSB0"));
        held.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(run().outcome, DownloadOutcome::Completed);
    // Listen, Start, two packets, the Next packet after the last, End.
    EXPECT_EQ(held, std::vector<std::string>(6, mine));
    EXPECT_FALSE(std::filesystem::exists(lock_file("LCK..ttyUSB0")));
    EXPECT_THAT(format_transcript(transcript), HasSubstr("removed the stale lock file"));

    // Without a lock folder the port is held by flock alone, and the transcript says so.
    options.lock_dir = lock_dir / "missing";
    port.devices.clear();
    port.on_transfer = nullptr;
    base_unit("/dev/ttyUSB0", {packet(0x08, 0, kStream.size())});
    EXPECT_EQ(run().outcome, DownloadOutcome::Completed);
    EXPECT_THAT(format_transcript(transcript),
                HasSubstr("No such file or directory; the port is held by flock during each "
                          "exchange and against this program's other downloads only"));
}

// Where no lock file can be made (a lock folder that does not exist, a file in its place, a
// read-only one), a port that another process of this program holds is still refused at once,
// with its PID, and is not even listened on; once that process has ended the port is free again.
TEST_F(Download, PortHeldByThisProgramIsInUseWithoutALockFile) {
    std::ofstream(lock_file("not-a-folder")) << "x";
    const std::string read_only = lock_file("read-only");
    std::filesystem::create_directory(read_only);
    ::chmod(read_only.c_str(), 0555); // root writes there all the same: a read-only tmpfs then
    const bool mounted =
        ::geteuid() == 0 && ::mount("tmpfs", read_only.c_str(), "tmpfs", MS_RDONLY, "size=4k") == 0;
    const std::shared_ptr<void> unmount(nullptr, [&](void*) {
        if (mounted) {
            ::umount2(read_only.c_str(), MNT_DETACH);
        }
    });
    for (const char* folder : {"missing", "not-a-folder", "read-only"}) {
        SCOPED_TRACE(folder);
        options.lock_dir = lock_file(folder);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t holder = ::fork();
        if (holder == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the test
            PortLock lock;
            const bool taken =
                lock.acquire("/dev/ttyUSB0", options.lock_dir).status == LockStatus::Unavailable;
            if (::write(ready[1], taken ? "y" : "n", 1) == 1) {
                ::pause();
            }
            ::_exit(0);
        }
        char taken = 0;
        ASSERT_EQ(::read(ready[0], &taken, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        EXPECT_EQ(taken, 'y');
        port.devices.clear();
        port.exchanges.clear();
        ui = RecordingDownloadUi();
        base_unit("/dev/ttyUSB0", {packet(0x08, 0, kStream.size())});
        EXPECT_EQ(run().outcome, DownloadOutcome::PortInUse);
        EXPECT_TRUE(port.exchanges.empty());
        EXPECT_EQ(ui.boxes.messages.at(0).text, "The port /dev/ttyUSB0 is in use by another "
                                                "program (PID " +
                                                    std::to_string(holder) + ").");
        expect_nothing_changed();
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        PortLock again;
        EXPECT_EQ(again.acquire("/dev/ttyUSB0", options.lock_dir).status, LockStatus::Unavailable);
    }
}

TEST_F(Download, WaitDialogThatCannotBeCreated) {
    ui.create_succeeds = false;
    EXPECT_EQ(run().outcome, DownloadOutcome::WindowFailed);
    EXPECT_EQ(ui.boxes.messages,
              (std::vector<RecordingUi::Message>{
                  {"Window Creation Failed!(hwin1)", "Error!", MessageIcon::Warning}}));
    EXPECT_THAT(ui.events, ElementsAre("create", "box Window Creation Failed!(hwin1)"));
    EXPECT_TRUE(port.exchanges.empty());
    expect_nothing_changed();
}

TEST_F(Download, PresenceLeftFromAnEarlierDownloadSkipsTheSearch) {
    // An earlier download that ended on a presence byte inside a request left it in the buffer.
    link.base_unit_announced = true;
    link.port_name = "/dev/ttyACM0";
    port.devices["/dev/ttyACM0"].steps = {{packet(0x08, 0, kStream.size())}};
    EXPECT_EQ(run().outcome, DownloadOutcome::Completed);
    EXPECT_EQ(port.requests_to("/dev/ttyACM0"), (std::vector<Bytes>{kStart, kFirst, kNext, kEnd}));
    EXPECT_EQ(port.exchanges.front().mode, TransferMode::WriteOnly);
}

} // namespace
} // namespace qm
