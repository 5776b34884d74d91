#pragma once

#include "link/serial_port.h"
#include "store/user_interface.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Commands the host sends, each framed as command byte, checksum high, checksum low.
constexpr std::uint8_t kCommandStart = 0x31;
constexpr std::uint8_t kCommandFirstPacket = 0x05;
constexpr std::uint8_t kCommandNextPacket = 0x03;
constexpr std::uint8_t kCommandEnd = 0x99;
// The Re-request is the two command bytes 0x01 0x00, so its frame is 0x01 0x00 0x00 0x01.
constexpr std::uint8_t kReRequestCommand[] = {0x01, 0x00};

// Reply codes: the first byte of every reply.
constexpr std::uint8_t kReplyNothing = 0x00;
constexpr std::uint8_t kReplyErrorReport = 0x01;
constexpr std::uint8_t kReplyData = 0x07;
constexpr std::uint8_t kReplyLastData = 0x08;
constexpr std::uint8_t kReplyConfirmation = 0x33;
constexpr std::uint8_t kReplyLinkLost = 0x77;
constexpr std::uint8_t kPresenceByte = 0x99;

// Second bytes of an error report that only ask the host to repeat its request.
constexpr std::uint8_t kErrorRetry5 = 5;
constexpr std::uint8_t kErrorRetry10 = 10;

constexpr std::size_t kMaxPacketData = 72;

// 16-bit sum of the bytes, wrapping at 65536.
std::uint16_t frame_checksum(std::span<const std::uint8_t> bytes);

// The bytes followed by their checksum, high byte first. Requests and replies are framed alike.
std::vector<std::uint8_t> frame(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> request_frame(std::uint8_t command);
std::vector<std::uint8_t> re_request_frame();
// A reply: the code, the data (at most kMaxPacketData bytes are meant) and the checksum.
std::vector<std::uint8_t> reply_frame(std::uint8_t code, std::span<const std::uint8_t> data);

// The acceptance test of every reply: a first byte 0x99 or 0x77 passes without a checksum; so
// does a reply whose bytes are all zero (including no byte at all); anything else needs at least
// three bytes and a matching checksum.
bool reply_accepted(std::span<const std::uint8_t> reply);

// The data bytes of a data packet: all but the code and the two checksum bytes. Empty for a
// reply of three bytes or fewer.
std::span<const std::uint8_t> reply_data(std::span<const std::uint8_t> reply);

enum class RequestResult {
    Success,      // data packet, last data packet or confirmation
    LinkLost,     // the base unit reported a lost link (0x77)
    UnknownReply, // a reply code the host does not know
    GaveUp,       // too many exchanges or too much time without an answer
    Quit,         // the application is being closed (seen while pumping between exchanges)
    Cancelled,    // the user cancelled (seen while pumping between exchanges)
};

// How a request ended, with its last exchange (whose reply answered it when it succeeded).
struct RequestReply {
    RequestResult result = RequestResult::GaveUp;
    ExchangeResult exchange;
};

// Sends one command to the base unit on a device and repeats the exchange until the base unit
// answers it: a reply that fails the acceptance test is followed by the Re-request, empty replies
// and error reports by the same request again. Gives up after timing.request_exchange_limit
// exchanges or timing.request_time_limit. Pending window messages are handled between repeated
// exchanges.
RequestReply send_request(const std::string& device, std::uint8_t command, LinkContext& context,
                          UserInterface& ui);

} // namespace qm
