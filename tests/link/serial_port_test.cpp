#include "link/serial_port.h"

#include "link/protocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(PortList, EnvironmentValueIsSplitAtColons) {
    EXPECT_EQ(parse_port_list("/tmp/a::/dev/ttyUSB3:"),
              (std::vector<std::string>{"/tmp/a", "/dev/ttyUSB3"}));
    EXPECT_TRUE(parse_port_list("").empty());
}

TEST(PortList, UsbThenAcmThenRealUartsInNaturalOrder) {
    const fs::path root = fs::path(::testing::TempDir()) / "port_scan";
    fs::remove_all(root);
    fs::create_directories(root / "dev");
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyS2", "tty0",
                             "console", "ttyUSB0"}) {
        std::ofstream(root / "dev" / name).put('\0');
    }
    // ttyS0 has a 16550A (type 4), ttyS1 no UART (type 0), ttyS2 no sysfs entry.
    fs::create_directories(root / "sys" / "ttyS0");
    fs::create_directories(root / "sys" / "ttyS1");
    std::ofstream(root / "sys" / "ttyS0" / "type") << "4\n";
    std::ofstream(root / "sys" / "ttyS1" / "type") << "0\n";

    const auto ports = scan_serial_devices(root / "dev", root / "sys");
    const std::string dev = (root / "dev").string() + "/";
    EXPECT_EQ(ports, (std::vector<std::string>{dev + "ttyUSB0", dev + "ttyUSB2", dev + "ttyUSB10",
                                               dev + "ttyACM0", dev + "ttyS0"}));
    EXPECT_EQ(port_device(1, ports), dev + "ttyUSB0");
    EXPECT_EQ(port_device(5, ports), dev + "ttyS0");
    EXPECT_EQ(port_device(6, ports), "");
    EXPECT_EQ(port_device(0, ports), "");
    fs::remove_all(root);
}

// A pseudo-terminal whose master side plays the base unit.
class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::grantpt(master_);
        ::unlockpt(master_);
        termios tio{};
        ::tcgetattr(master_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(master_, TCSANOW, &tio);
        slave_ = ::ptsname(master_);
    }
    ~Pty() {
        if (responder_.joinable()) {
            responder_.join();
        }
        ::close(master_);
    }
    const std::string& slave() const { return slave_; }

    // Once a host has opened the port (and written `expect_request` bytes), sends the parts
    // with `pause` between them.
    void respond(std::size_t expect_request, std::vector<Bytes> parts,
                 std::chrono::milliseconds pause = 0ms) {
        responder_ = std::thread([this, expect_request, parts, pause] {
            // A host that only writes may be gone again before it is seen; its bytes stay.
            if (!parts.empty()) {
                wait_for_host();
            }
            received = read_bytes(expect_request);
            if (expect_request == 0) {
                // Give a listening host time to flush its input before the byte arrives.
                std::this_thread::sleep_for(20ms);
            }
            for (std::size_t i = 0; i < parts.size(); ++i) {
                if (i > 0) {
                    std::this_thread::sleep_for(pause);
                }
                if (::write(master_, parts[i].data(), parts[i].size()) < 0) {
                    return;
                }
            }
        });
    }
    void join() { responder_.join(); }

    Bytes received;

private:
    void wait_for_host() {
        for (int i = 0; i < 2000; ++i) {
            pollfd p{master_, POLLIN, 0};
            ::poll(&p, 1, 0);
            if ((p.revents & POLLHUP) == 0) {
                return;
            }
            std::this_thread::sleep_for(1ms);
        }
    }
    Bytes read_bytes(std::size_t n) {
        Bytes out;
        while (out.size() < n) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0 || (p.revents & POLLIN) == 0) {
                break;
            }
            std::uint8_t b[64];
            const ssize_t got = ::read(master_, b, std::min(sizeof b, n - out.size()));
            if (got <= 0) {
                break;
            }
            out.insert(out.end(), b, b + got);
        }
        return out;
    }

    int master_ = -1;
    std::string slave_;
    std::thread responder_;
};

struct Exchange : ::testing::Test {
    Exchange() {
        timing.poll_interval = 1ms;
        timing.read_polls = 1000; // a reply may take a second on a loaded machine
        timing.listen_polls = 1000;
    }
    ExchangeResult exchange(TransferMode mode, const Bytes& request) {
        LinkContext context{posix, clock, timing, &transcript};
        return serial_exchange(port, mode, request, context);
    }

    PosixSerialTransport posix;
    SteadyLinkClock clock;
    LinkTiming timing;
    LinkTranscript transcript;
    std::string port;
};

TEST_F(Exchange, PortThatDoesNotExistReturnsAtOnceWithAnEmptyReply) {
    for (const char* name : {"/nonexistent/ttyUSB9", ""}) {
        port = name;
        const ExchangeResult r = exchange(TransferMode::WriteThenRead, request_frame(0x05));
        EXPECT_TRUE(r.accepted);
        EXPECT_EQ(r.status, PortStatus::NoSuchPort);
        EXPECT_THAT(r.buffer, ::testing::Each(0));
        EXPECT_EQ(r.bytes_received, 0u);
    }
    // A named device that is missing is worth a line; a number past the port list is not.
    ASSERT_EQ(transcript.entries.size(), 1u);
    EXPECT_EQ(transcript.entries[0].port, "/nonexistent/ttyUSB9");
    EXPECT_EQ(transcript.entries[0].status, PortStatus::NoSuchPort);
}

TEST_F(Exchange, ListenReadsThePresenceByte) {
    Pty pty;
    port = pty.slave();
    pty.respond(0, {{0x99}});
    const ExchangeResult r = exchange(TransferMode::Listen, request_frame(kCommandStart));
    pty.join();
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.status, PortStatus::Ok);
    EXPECT_EQ(r.code(), 0x99);
    EXPECT_EQ(r.bytes_received, 1u);
    EXPECT_TRUE(pty.received.empty()); // nothing is written in listen mode
}

TEST_F(Exchange, ListenWithoutAByteEndsAtItsLimit) {
    Pty pty;
    port = pty.slave();
    timing.listen_polls = 30;
    const auto start = std::chrono::steady_clock::now();
    const ExchangeResult r = exchange(TransferMode::Listen, {});
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.bytes_received, 0u);
}

TEST_F(Exchange, LongReplyIsCutAt75Bytes) {
    Pty pty;
    port = pty.slave();
    Bytes reply = reply_frame(0x07, Bytes(72, 0x21));
    reply.insert(reply.end(), 25, 0x44);
    pty.respond(3, {reply});
    const ExchangeResult r = exchange(TransferMode::WriteThenRead, request_frame(0x05));
    pty.join();
    EXPECT_EQ(pty.received, (Bytes{0x05, 0x00, 0x05}));
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.bytes_received, 75u);
    EXPECT_EQ(r.bytes_sent, 3u);
    EXPECT_TRUE(std::equal(reply.begin(), reply.begin() + 75, r.buffer.begin()));
    EXPECT_EQ(r.buffer[75], 0);
    ASSERT_EQ(transcript.entries.size(), 1u);
    EXPECT_EQ(transcript.entries[0].sent, (Bytes{0x05, 0x00, 0x05}));
    EXPECT_EQ(transcript.entries[0].received.size(), 75u);
}

TEST_F(Exchange, ReplyInTwoPartsEndsAfterTheFirst) {
    Pty pty;
    port = pty.slave();
    const Bytes reply{0x07, 0x41, 0x42, 0x00, 0x8A};
    pty.respond(3, {Bytes(reply.begin(), reply.begin() + 2), Bytes(reply.begin() + 2, reply.end())},
                200ms);
    const ExchangeResult r = exchange(TransferMode::WriteThenRead, request_frame(0x03));
    pty.join();
    EXPECT_EQ(r.bytes_received, 2u);
    EXPECT_FALSE(r.accepted);
    EXPECT_FALSE(transcript.entries[0].accepted);
}

TEST_F(Exchange, WriteOnlyCountsTheWrite) {
    Pty pty;
    port = pty.slave();
    pty.respond(3, {});
    const ExchangeResult r = exchange(TransferMode::WriteOnly, request_frame(kCommandEnd));
    pty.join();
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(pty.received, (Bytes{0x99, 0x00, 0x99}));
    EXPECT_EQ(r.bytes_sent, 3u);
    EXPECT_EQ(r.bytes_received, 3u);
}

TEST_F(Exchange, PortHeldByAnotherProgramIsNotUsed) {
    Pty pty;
    port = pty.slave();
    const int other = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    const ExchangeResult r = exchange(TransferMode::WriteThenRead, request_frame(0x05));
    EXPECT_EQ(r.status, PortStatus::Busy);
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.bytes_received, 0u);
    ::close(other);
    // Released with the other program's descriptor: the next exchange gets the port.
    timing.read_polls = 5;
    EXPECT_EQ(exchange(TransferMode::WriteThenRead, request_frame(0x05)).status, PortStatus::Ok);
}

TEST_F(Exchange, FileThatIsNoTerminalIsRefused) {
    const fs::path file = fs::path(::testing::TempDir()) / "not_a_port";
    std::ofstream(file) << "x";
    port = file.string();
    const ExchangeResult r = exchange(TransferMode::Listen, {});
    EXPECT_EQ(r.status, PortStatus::ConfigFailed);
    EXPECT_TRUE(r.accepted);
    fs::remove(file);
}

} // namespace
} // namespace qm
