#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qm {

// The exchange patterns of one serial exchange.
enum class TransferMode : std::int32_t {
    WriteThenRead = 0, // write the request, then read a reply of up to 75 bytes
    Listen = 2,        // write nothing, wait for one byte (the presence byte)
    WriteOnly = 3,     // write the request, read nothing
};

// What the wait dialog draws: no lamps while the base unit is searched for, then two lamps that
// swap colours at every packet. Off is held as the byte ','.
enum class LampState : std::uint8_t {
    Off = 0x2C,
    Phase0 = 0, // left lamp green, right lamp red
    Phase1 = 1, // left lamp red, right lamp green
};

constexpr std::size_t kReceiveBufferSize = 80;
constexpr std::size_t kMaxReplyBytes = 75;

// Every wait and limit of the link, with the values the base unit is used to. Tests shorten them;
// the program never does.
constexpr auto kPollInterval = std::chrono::milliseconds{10};
constexpr int kReadPolls = 600;   // write-then-read: about 6 s for a reply
constexpr int kListenPolls = 120; // listen: about 1.2 s for the presence byte
constexpr int kWritePolls = 120;  // write only: about 1.2 s for the write
// Write-then-read waits wait factor 2 x 50 ms for its write.
constexpr auto kWriteWait = std::chrono::milliseconds{100};
// A read ends 50 ms after the last byte received.
constexpr auto kReadGap = std::chrono::milliseconds{50};
// The base unit gets 400 ms after a data packet and after an error report.
constexpr auto kPacketWait = std::chrono::milliseconds{400};
constexpr int kRequestExchangeLimit = 25;
constexpr auto kRequestTimeLimit = std::chrono::milliseconds{30000};
constexpr int kSearchPasses = 20;
constexpr int kHighestPortNumber = 257;
// A port that cannot be opened (a USB adapter re-enumerating) is tried again after this pause,
// so the request's 25 exchanges last about its 30 s.
constexpr auto kReopenPause = std::chrono::milliseconds{1200};
// A whole download ends when the base unit goes on beyond anything a meter can hold: this much
// data without the last-packet code, or this many empty data packets in a row (and, whatever it
// sends, after download_time_limit of the timing).
constexpr std::size_t kMaxStreamBytes = 16 * 1024 * 1024;
constexpr int kMaxEmptyPackets = 25;

struct LinkTiming {
    std::chrono::milliseconds poll_interval = kPollInterval;
    int read_polls = kReadPolls;
    int listen_polls = kListenPolls;
    int write_polls = kWritePolls;
    std::chrono::milliseconds write_wait = kWriteWait;
    std::chrono::milliseconds read_gap = kReadGap;
    std::chrono::milliseconds packet_wait = kPacketWait;
    // One request gives up after this many exchanges or this much time without a data,
    // last-packet or confirmation reply.
    int request_exchange_limit = kRequestExchangeLimit;
    std::chrono::milliseconds request_time_limit = kRequestTimeLimit;
    std::chrono::milliseconds reopen_pause = kReopenPause;
    int search_passes = kSearchPasses;
    int highest_port_number = kHighestPortNumber;
    std::size_t max_stream_bytes = kMaxStreamBytes;
    int max_empty_packets = kMaxEmptyPackets;
};

// What the link keeps from one download to the next (one instance, held by AppState).
struct LinkState {
    // Device of the base unit: the port that answered the last search.
    std::string port_name;
    // Its port number (1, 2, ...), 0 before any search.
    int port_number = 0;
    // The last exchange read the base unit's presence byte on port_name (a download that ended
    // with it inside a request): the next download starts there without a search.
    bool base_unit_announced = false;
    // linkEstablished: the base unit was found by the current or a previous download.
    bool link_established = false;
};

} // namespace qm
