#include "link/link_transcript.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace qm {

namespace {

std::string format_time(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() %
        1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03lld", static_cast<long long>(millis));
    return text;
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char two[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%s%02X", out.empty() ? "" : " ", b);
        out += two;
    }
    return out.empty() ? "-" : out;
}

std::string_view mode_name(TransferMode mode) {
    switch (mode) {
    case TransferMode::WriteThenRead:
        return "write+read";
    case TransferMode::Listen:
        return "listen";
    case TransferMode::WriteOnly:
        return "write";
    }
    return "?";
}

std::string outcome(const TranscriptEntry& e) {
    const auto with_error = [&](std::string text) {
        return e.error != 0 ? text + ": " + std::strerror(e.error) : text;
    };
    switch (e.status) {
    case PortStatus::Ok:
        return e.accepted ? "ok" : "checksum failed";
    case PortStatus::NoSuchPort:
        return with_error("no such port");
    case PortStatus::OpenFailed:
        return with_error("cannot open");
    case PortStatus::Busy:
        return with_error("in use by another program");
    case PortStatus::ConfigFailed:
        return with_error("line settings refused");
    }
    return "?";
}

} // namespace

void LinkTranscript::add_note(std::string text) {
    TranscriptEntry entry;
    entry.time = std::chrono::system_clock::now();
    entry.note = std::move(text);
    entries.push_back(std::move(entry));
}

std::string format_transcript(const LinkTranscript& transcript) {
    std::string out = "Quellmark link transcript: time, port, mode, bytes sent, bytes received "
                      "(hex), outcome\n";
    for (const TranscriptEntry& e : transcript.entries) {
        out += format_time(e.time);
        if (!e.note.empty()) {
            out += "  -- " + e.note + "\n";
            continue;
        }
        out += "  " + e.port + "  " + std::string(mode_name(e.mode));
        if (e.mode != TransferMode::Listen) {
            out += "  sent " + hex(e.sent);
        }
        if (e.mode != TransferMode::WriteOnly) {
            out += "  received " + hex(e.received);
        }
        out += "  " + outcome(e) + "\n";
    }
    return out;
}

} // namespace qm
