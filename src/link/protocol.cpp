#include "link/protocol.h"

#include "text/text_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace qm {

namespace {

constexpr std::string_view kUnknownErrorText = "An unknown error was reported!";
constexpr std::string_view kConfirmationText = "Received OK Confirmation Message";
constexpr std::string_view kConfirmationCaption = "Yahoo!";
constexpr std::string_view kLinkLostText = "Meter Link was Lost!! ";
constexpr std::string_view kUnknownReplyText = "Unknown Reply received!";
constexpr std::string_view kUnknownReplyCaption = "????";
constexpr std::string_view kReplyTextCaption = "More Success!";
constexpr std::string_view kErrorCaption = "Error!";

constexpr std::size_t kChecksumBytes = 2;
// A pause between exchanges is cut into steps with the window messages handled between them.
constexpr auto kPauseStep = std::chrono::milliseconds{100};

// The reply bytes read as text: up to the first zero byte (the buffer always ends in zeros).
// Control bytes are written as \x1b, so a reply cannot drive the terminal it is shown on.
std::string reply_text(const ExchangeResult& exchange) {
    const auto* bytes = reinterpret_cast<const char*>(exchange.buffer.data());
    return escape_control_bytes(std::string_view(bytes, strnlen(bytes, exchange.buffer.size())));
}

// Waits before a port that could not be opened is tried again.
PumpResult pause_before_reopen(LinkContext& context, UserInterface& ui) {
    for (auto left = context.timing.reopen_pause; left > std::chrono::milliseconds::zero();) {
        const auto step = std::min(left, kPauseStep);
        context.clock.sleep_for(step);
        left -= step;
        if (const PumpResult pump = ui.pump_messages(PumpMode::All); pump != PumpResult::Continue) {
            return pump;
        }
    }
    return PumpResult::Continue;
}

bool request_timed_out(int exchanges, std::chrono::steady_clock::time_point start,
                       LinkContext& context) {
    return exchanges >= context.timing.request_exchange_limit ||
           context.clock.now() - start >= context.timing.request_time_limit;
}

} // namespace

std::uint16_t frame_checksum(std::span<const std::uint8_t> bytes) {
    std::uint16_t sum = 0;
    for (const std::uint8_t b : bytes) {
        sum = static_cast<std::uint16_t>(sum + b);
    }
    return sum;
}

std::vector<std::uint8_t> frame(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> out(bytes.begin(), bytes.end());
    const std::uint16_t sum = frame_checksum(bytes);
    out.push_back(static_cast<std::uint8_t>(sum >> 8));
    out.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return out;
}

std::vector<std::uint8_t> request_frame(std::uint8_t command) {
    return frame(std::span<const std::uint8_t>(&command, 1));
}

std::vector<std::uint8_t> re_request_frame() {
    return frame(kReRequestCommand);
}

std::vector<std::uint8_t> reply_frame(std::uint8_t code, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> body;
    body.reserve(1 + data.size());
    body.push_back(code);
    body.insert(body.end(), data.begin(), data.end());
    return frame(body);
}

bool reply_accepted(std::span<const std::uint8_t> reply) {
    if (!reply.empty() && (reply[0] == kPresenceByte || reply[0] == kReplyLinkLost)) {
        return true;
    }
    if (std::all_of(reply.begin(), reply.end(), [](std::uint8_t b) { return b == 0; })) {
        return true;
    }
    if (reply.size() < 1 + kChecksumBytes) {
        return false;
    }
    const std::size_t body = reply.size() - kChecksumBytes;
    const std::uint16_t sent = static_cast<std::uint16_t>(reply[body] << 8 | reply[body + 1]);
    return frame_checksum(reply.first(body)) == sent;
}

std::span<const std::uint8_t> reply_data(std::span<const std::uint8_t> reply) {
    if (reply.size() <= 1 + kChecksumBytes) {
        return {};
    }
    return reply.subspan(1, reply.size() - 1 - kChecksumBytes);
}

RequestReply send_request(const std::string& device, std::uint8_t command, LinkContext& context,
                          UserInterface& ui) {
    std::vector<std::uint8_t> request = request_frame(command);
    const auto start = context.clock.now();
    RequestReply reply;
    for (int exchanges = 1;; ++exchanges) {
        if (exchanges > 1 && context.on_repeat) {
            context.on_repeat(exchanges, context.timing.request_exchange_limit);
        }
        reply.exchange = serial_exchange(device, TransferMode::WriteThenRead, request, context);
        const ExchangeResult& exchange = reply.exchange;
        if (!exchange.accepted) {
            // A damaged reply: ask for the same reply again rather than the next one.
            request = re_request_frame();
        } else {
            switch (exchange.code()) {
            case kReplyNothing:
                break;
            case kReplyErrorReport: {
                context.clock.sleep_for(context.timing.packet_wait);
                const std::uint8_t detail = exchange.buffer[1];
                if (detail != kErrorRetry5 && detail != kErrorRetry10) {
                    ui.message_box(kUnknownErrorText, kErrorCaption, MessageIcon::Error);
                }
                break;
            }
            case kReplyData:
            case kReplyLastData:
                // The base unit needs this pause before it takes the next request.
                context.clock.sleep_for(context.timing.packet_wait);
                reply.result = RequestResult::Success;
                return reply;
            case kReplyConfirmation:
                ui.message_box(kConfirmationText, kConfirmationCaption, MessageIcon::None);
                reply.result = RequestResult::Success;
                return reply;
            case kReplyLinkLost:
                ui.message_box(kLinkLostText, kErrorCaption, MessageIcon::Error);
                reply.result = RequestResult::LinkLost;
                return reply;
            default:
                ui.message_box(kUnknownReplyText, kUnknownReplyCaption, MessageIcon::Question);
                ui.message_box(reply_text(exchange), kReplyTextCaption, MessageIcon::None);
                reply.result = RequestResult::UnknownReply;
                return reply;
            }
        }
        // A silent base unit or a vanished adapter must not hold the program forever.
        if (request_timed_out(exchanges, start, context)) {
            if (context.transcript != nullptr) {
                context.transcript->add_note("request given up after " + std::to_string(exchanges) +
                                             " exchanges");
            }
            reply.result = RequestResult::GaveUp;
            return reply;
        }
        PumpResult pump = ui.pump_messages(PumpMode::All);
        if (pump == PumpResult::Continue && exchange.status != PortStatus::Ok) {
            // A vanished port fails at once; without a pause the bound would pass in a moment.
            pump = pause_before_reopen(context, ui);
        }
        switch (pump) {
        case PumpResult::Quit:
            reply.result = RequestResult::Quit;
            return reply;
        case PumpResult::Cancel:
            reply.result = RequestResult::Cancelled;
            return reply;
        case PumpResult::Continue:
            break;
        }
    }
}

} // namespace qm
