#pragma once

#include "link/link_state.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// How one exchange on the port went, as far as the port is concerned.
enum class PortStatus {
    Ok,          // opened, configured, transferred
    NoSuchPort,  // no device for the port number, or the device does not exist
    OpenFailed,  // the device refused to open (error holds errno, e.g. EACCES)
    Busy,        // another program holds the device
    ConfigFailed // the line settings were refused
};

// One line of a transcript: an exchange, or a note of the download procedure.
struct TranscriptEntry {
    std::chrono::system_clock::time_point time;
    std::string note; // set for notes; empty for exchanges
    std::string port;
    TransferMode mode = TransferMode::WriteThenRead;
    std::vector<std::uint8_t> sent;
    std::vector<std::uint8_t> received;
    PortStatus status = PortStatus::Ok;
    int error = 0;        // errno when status is not Ok
    bool accepted = true; // the reply passed the acceptance test
};

// The record of a download's exchanges, for bug reports.
struct LinkTranscript {
    std::vector<TranscriptEntry> entries;

    void add_note(std::string text);
};

// Readable text: one line per entry with local time, port, mode, bytes in hex and outcome.
std::string format_transcript(const LinkTranscript& transcript);

} // namespace qm
