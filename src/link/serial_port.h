#pragma once

#include "link/link_state.h"
#include "link/link_transcript.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// What one transfer on a device did.
struct TransferResult {
    PortStatus status = PortStatus::Ok;
    int error = 0;           // errno when status is not Ok
    std::size_t written = 0; // bytes handed to the device
    std::size_t read = 0;    // bytes read into the reply
    bool write_done = false; // the write completed within its limit
};

// Where exchanges happen: the POSIX serial port, or a scripted fake in tests. One call opens the
// device, configures it, runs one transfer of the given mode and closes the device again.
class SerialTransport {
public:
    virtual ~SerialTransport() = default;
    // reply has room for at most kMaxReplyBytes bytes (one byte in listen mode).
    virtual TransferResult transfer(const std::string& device, TransferMode mode,
                                    std::span<const std::uint8_t> request,
                                    std::span<std::uint8_t> reply, const LinkTiming& timing) = 0;
};

// The serial port of a POSIX system: exclusive (flock), raw 9600 8N1 with hardware flow control
// where the device has it, time limits by poll(2).
class PosixSerialTransport : public SerialTransport {
public:
    TransferResult transfer(const std::string& device, TransferMode mode,
                            std::span<const std::uint8_t> request, std::span<std::uint8_t> reply,
                            const LinkTiming& timing) override;
};

// The time of the protocol: its waits and its give-up limit. Tests pass a fake.
class LinkClock {
public:
    virtual ~LinkClock() = default;
    virtual std::chrono::steady_clock::time_point now() = 0;
    virtual void sleep_for(std::chrono::milliseconds duration) = 0;
};

class SteadyLinkClock : public LinkClock {
public:
    std::chrono::steady_clock::time_point now() override;
    void sleep_for(std::chrono::milliseconds duration) override;
};

// Everything an exchange works with besides the link state.
struct LinkContext {
    SerialTransport& transport;
    LinkClock& clock;
    const LinkTiming& timing;
    LinkTranscript* transcript = nullptr; // when set, every exchange on a device is recorded
    // Told before a request is sent again: the number of the coming exchange (2, 3, ...) and
    // the most a request gets.
    std::function<void(int exchange, int limit)> on_repeat = nullptr;
};

// What one exchange did and the reply it read.
struct ExchangeResult {
    // The reply passed the acceptance test. An exchange on a port that could not be opened or
    // configured reads as an empty reply, which is accepted.
    bool accepted = true;
    PortStatus status = PortStatus::Ok;
    int error = 0;
    std::uint32_t bytes_sent = 0;
    // Bytes read (write only: bytes written); 0 when the port could not be used.
    std::uint32_t bytes_received = 0;
    // The reply bytes; at most 75 are read, so the buffer always ends in zero bytes.
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};

    // The reply code: the first byte read, 0 for none.
    std::uint8_t code() const { return buffer[0]; }
    // The bytes read, at most 75.
    std::span<const std::uint8_t> reply() const {
        return std::span(buffer).first(std::min<std::size_t>(bytes_received, kMaxReplyBytes));
    }
};

// One exchange of the given mode on a device: opens and configures the port, writes and/or reads,
// closes the port, and applies the acceptance test to the reply.
ExchangeResult serial_exchange(const std::string& device, TransferMode mode,
                               std::span<const std::uint8_t> request, LinkContext& context);

// The ports behind port numbers 1, 2, ...: the colon-separated paths of QUELLMARK_PORTS when that
// variable is set, otherwise the sorted /dev/ttyUSB*, /dev/ttyACM*, then the /dev/ttyS* that
// have a real UART.
std::vector<std::string> serial_port_list();
// The paths of a QUELLMARK_PORTS value; empty entries are skipped.
std::vector<std::string> parse_port_list(std::string_view value);
// The serial devices of dev_dir in the order above; the UART type of ttyS devices is read from
// sys_tty_dir/<name>/type.
std::vector<std::string> scan_serial_devices(const std::filesystem::path& dev_dir,
                                             const std::filesystem::path& sys_tty_dir);
// The device of a port number, or an empty text for a number outside the list.
std::string port_device(int number, const std::vector<std::string>& ports);

} // namespace qm
