#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace rq5200 {

// Faults to inject, each at one data packet (numbered from 1; 0 = off). Each fault fires once
// per download; a new download (Start, or First packet without Start) arms them again.
struct Faults {
    int corrupt_checksum = 0; // send packet k with a wrong checksum (a Re-request gets it whole)
    int link_lost = 0;        // reply 0x77 instead of packet k, which ends the download
    int confirm_before = 0;   // send a 0x33 confirmation before packet k
    int error_report = 0;     // send error report 0x01 <error_detail> before packet k
    std::uint8_t error_detail = 10;
    int silent_after = 0; // answer nothing once packet k has been sent
    int split = 0;        // send packet k's reply in two parts with a pause between
    int unknown_code = 0; // reply with unknown_code_value instead of packet k, ending the download
    std::uint8_t unknown_code_value = 0x42;
    bool endless = false; // never send the last-packet code: the image again and again
    int empty_after = 0;  // from packet k on, empty data packets for ever
};

// One reply on the wire; `rest`, when not empty, follows `first` after the split pause.
struct Reply {
    std::vector<std::uint8_t> first;
    std::vector<std::uint8_t> rest;
};

// Splits the incoming bytes into request frames: one command byte and its checksum, or the two
// bytes of the Re-request and theirs. Bytes that fit no frame are dropped.
class FrameParser {
public:
    // The commands (without checksum) of the frames completed by these bytes.
    std::vector<std::vector<std::uint8_t>> feed(std::span<const std::uint8_t> bytes);
    void clear() { pending_.clear(); }

private:
    std::vector<std::uint8_t> pending_;
};

// The base unit with a meter docked: answers the host's requests from a memory image cut into
// packets of at most 72 data bytes, the last one with code 0x08. From the Start frame until the
// End frame it is in download mode, where it sends no presence byte to anyone; a new Start
// begins the download again.
class BaseUnit {
public:
    BaseUnit(std::span<const std::uint8_t> image, Faults faults);

    // The reply to one request, or nothing (write-only requests, a silent unit).
    std::optional<Reply> on_request(std::span<const std::uint8_t> command);

    // Asked at the start of every download for the faults to inject in it (instead of the
    // faults given to the constructor).
    void set_fault_source(std::function<Faults()> source) { fault_source_ = std::move(source); }

    // Between Start and End: the presence byte is held back.
    bool downloading() const { return state_ != State::Idle; }
    // Downloads whose last packet went out and that ended with the End frame.
    int completed_downloads() const { return completed_; }
    std::size_t packet_count() const { return packets_.size(); }

private:
    enum class State { Idle, Downloading, Silent };

    void start_download();
    std::optional<Reply> send_packet();

    std::vector<std::vector<std::uint8_t>> packets_; // reply frames
    std::function<Faults()> fault_source_;
    Faults faults_;
    Faults armed_{};
    State state_ = State::Idle;
    std::size_t next_ = 0; // index of the packet the next Next packet request gets
    std::vector<std::uint8_t> last_reply_;
    bool last_sent_ = false; // the last packet of this download has gone out
    int completed_ = 0;
};

} // namespace rq5200
