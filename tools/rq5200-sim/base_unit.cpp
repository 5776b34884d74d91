#include "tools/rq5200-sim/base_unit.h"

#include "link/protocol.h"

#include <algorithm>

namespace rq5200 {

namespace {

constexpr std::uint8_t kTrailerText[] = {'?', '?'};

bool is_command(std::span<const std::uint8_t> command, std::uint8_t value) {
    return command.size() == 1 && command[0] == value;
}

bool is_re_request(std::span<const std::uint8_t> command) {
    return std::equal(command.begin(), command.end(), std::begin(qm::kReRequestCommand),
                      std::end(qm::kReRequestCommand));
}

} // namespace

std::vector<std::vector<std::uint8_t>> FrameParser::feed(std::span<const std::uint8_t> bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    std::vector<std::vector<std::uint8_t>> commands;
    const auto frames_as = [&](std::size_t n) {
        if (pending_.size() < n + 2) {
            return false;
        }
        const std::uint16_t sent = static_cast<std::uint16_t>(pending_[n] << 8 | pending_[n + 1]);
        return qm::frame_checksum(std::span(pending_).first(n)) == sent;
    };
    while (pending_.size() >= 3) {
        std::size_t n = 0;
        if (frames_as(1)) {
            n = 1;
        } else if (frames_as(2)) {
            n = 2;
        } else if (pending_.size() >= 4) {
            pending_.erase(pending_.begin()); // noise on the line
            continue;
        } else {
            break; // maybe the first three bytes of a Re-request
        }
        commands.emplace_back(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n + 2));
    }
    return commands;
}

BaseUnit::BaseUnit(std::span<const std::uint8_t> image, Faults faults) : faults_(faults) {
    std::size_t offset = 0;
    do {
        const std::size_t n = std::min(qm::kMaxPacketData, image.size() - offset);
        const bool last = offset + n == image.size();
        packets_.push_back(
            qm::reply_frame(last ? qm::kReplyLastData : qm::kReplyData, image.subspan(offset, n)));
        offset += n;
    } while (offset < image.size());
}

void BaseUnit::start_download() {
    state_ = State::Downloading;
    armed_ = fault_source_ ? fault_source_() : faults_;
    next_ = 0;
    last_sent_ = false;
    last_reply_.clear();
}

std::optional<Reply> BaseUnit::on_request(std::span<const std::uint8_t> command) {
    if (is_command(command, qm::kCommandStart)) {
        start_download();
        return std::nullopt;
    }
    if (is_command(command, qm::kCommandEnd)) {
        if (state_ != State::Idle && last_sent_) {
            ++completed_;
        }
        state_ = State::Idle;
        return std::nullopt;
    }
    if (state_ == State::Silent) {
        return std::nullopt;
    }
    if (is_re_request(command)) {
        if (last_reply_.empty()) {
            return std::nullopt;
        }
        return Reply{last_reply_, {}};
    }
    if (is_command(command, qm::kCommandFirstPacket)) {
        // Asked again for the first packet (after an error report, say): the same download
        // from its first packet, with the faults that have fired staying fired.
        if (state_ == State::Idle) {
            start_download();
        }
        next_ = 0;
        return send_packet();
    }
    if (is_command(command, qm::kCommandNextPacket)) {
        if (state_ == State::Idle) {
            state_ = State::Downloading;
        }
        return send_packet();
    }
    return std::nullopt; // a request this base unit does not know
}

std::optional<Reply> BaseUnit::send_packet() {
    if (armed_.endless && next_ >= packets_.size()) {
        next_ = 0;
    }
    const int number_now = static_cast<int>(next_) + 1;
    if (armed_.empty_after > 0 && number_now >= armed_.empty_after) {
        last_reply_ = qm::reply_frame(qm::kReplyData, {});
        return Reply{last_reply_, {}};
    }
    if (next_ >= packets_.size()) {
        // The host asks once more after the last packet; it does not look at this reply.
        last_reply_ = qm::reply_frame(qm::kReplyLastData, {});
        return Reply{last_reply_, {}};
    }
    const int number = static_cast<int>(next_) + 1;
    const auto fire = [&](int& fault) {
        const bool due = fault == number;
        if (due) {
            fault = 0;
        }
        return due;
    };
    // A lost link and a reply the host does not know both end the download on this side.
    if (fire(armed_.link_lost)) {
        state_ = State::Idle;
        last_reply_ = {qm::kReplyLinkLost};
        return Reply{last_reply_, {}};
    }
    if (fire(armed_.unknown_code)) {
        state_ = State::Idle;
        last_reply_ = qm::reply_frame(armed_.unknown_code_value, kTrailerText);
        return Reply{last_reply_, {}};
    }
    if (fire(armed_.confirm_before)) {
        last_reply_ = qm::reply_frame(qm::kReplyConfirmation, {});
        return Reply{last_reply_, {}};
    }
    if (fire(armed_.error_report)) {
        const std::uint8_t detail[] = {armed_.error_detail};
        last_reply_ = qm::reply_frame(qm::kReplyErrorReport, detail);
        return Reply{last_reply_, {}};
    }
    last_reply_ = armed_.endless ? qm::reply_frame(qm::kReplyData, qm::reply_data(packets_[next_]))
                                 : packets_[next_];
    ++next_;
    last_sent_ = next_ == packets_.size() && !armed_.endless;
    Reply reply{last_reply_, {}};
    if (fire(armed_.corrupt_checksum)) {
        reply.first.back() ^= 0x5A;
    }
    if (fire(armed_.split)) {
        const auto half = reply.first.begin() + static_cast<std::ptrdiff_t>(reply.first.size() / 2);
        reply.rest.assign(half, reply.first.end());
        reply.first.erase(half, reply.first.end());
    }
    if (armed_.silent_after == number) {
        state_ = State::Silent;
    }
    return reply;
}

} // namespace rq5200
