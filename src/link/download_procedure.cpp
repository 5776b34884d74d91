#include "link/download_procedure.h"

#include "link/link_transcript.h"
#include "link/protocol.h"
#include "link/serial_port.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace qm {

namespace {

constexpr std::string_view kErrorCaption = "Error!";
constexpr std::string_view kWindowFailedText = "Window Creation Failed!(hwin1)";
constexpr std::string_view kNotFoundText =
    "Communication could not be established! Please check all connections and status of the "
    "base unit and meter and try again.";
constexpr std::string_view kNoLongerReceivingText = "No longer receiving message";
constexpr std::string_view kEndlessDataText =
    "The base unit kept sending data far beyond what any meter holds, without its last packet. "
    "The download was stopped.";
constexpr std::string_view kEmptyPacketsText =
    "The base unit kept sending empty packets. The download was stopped.";

// Everything one download works with.
struct Download {
    Download(LinkState& l, DownloadUi& u, LinkContext& c, const DownloadOptions& o)
        : link(l), ui(u), context(c), options(o) {}

    LinkState& link;
    DownloadUi& ui;
    LinkContext& context;
    const DownloadOptions& options;
    DownloadResult result;
    PortLock lock;                         // the port being probed or downloaded from
    bool started = false;                  // the Start frame went out: the base unit waits for End
    bool lock_noted = false;               // the transcript already says lock files cannot be made
    std::set<std::string> refused_devices; // candidates that refused to open (permissions)
    std::map<std::string, int> busy_devices; // candidates another program holds, with its PID
    LampState lamps = LampState::Off;        // what the wait dialog draws

    void note(std::string text) {
        if (context.transcript != nullptr) {
            context.transcript->add_note(std::move(text));
        }
    }
    // Every reply is looked at for the presence byte, which the next download starts from.
    void heard(const ExchangeResult& exchange) {
        link.base_unit_announced = exchange.code() == kPresenceByte;
    }
    ExchangeResult exchange(TransferMode mode, std::span<const std::uint8_t> request) {
        ExchangeResult result = serial_exchange(link.port_name, mode, request, context);
        heard(result);
        return result;
    }
};

// How a pump or a request ended the download early.
enum class Stop { None, Quit, Cancel };

Stop stop_of(PumpResult pump) {
    switch (pump) {
    case PumpResult::Quit:
        return Stop::Quit;
    case PumpResult::Cancel:
        return Stop::Cancel;
    case PumpResult::Continue:
        break;
    }
    return Stop::None;
}

// The base unit stays in download mode, silent for every program, until it gets End. Best
// effort: nothing is read back and a failure changes nothing.
void send_end(Download& d) {
    if (!d.started) {
        return;
    }
    d.started = false;
    d.exchange(TransferMode::WriteOnly, request_frame(kCommandEnd));
}

DownloadResult failed(Download& d, DownloadOutcome outcome) {
    d.result.outcome = outcome;
    d.result.stream.clear();
    return std::move(d.result);
}

// Quit and cancel end alike: End to the base unit, nothing decoded, no message; a quit is
// passed on.
DownloadResult stopped(Download& d, Stop stop) {
    d.note(stop == Stop::Quit ? "application closed during the download"
                              : "download cancelled by the user");
    send_end(d);
    d.ui.end_wait_dialog();
    if (stop == Stop::Quit) {
        d.ui.post_quit();
    }
    return failed(d, stop == Stop::Quit ? DownloadOutcome::Quit : DownloadOutcome::Cancelled);
}

// The base unit stopped answering or went on without end: End first, so the base unit is
// released while the user reads the message.
DownloadResult given_up(Download& d, std::string_view text, std::string note) {
    send_end(d);
    d.note(std::move(note));
    d.ui.message_box(text, kErrorCaption, MessageIcon::Error);
    d.ui.end_wait_dialog();
    return failed(d, DownloadOutcome::LinkLost);
}

std::string in_use_lines(const Download& d) {
    std::string text;
    for (const auto& [device, pid] : d.busy_devices) {
        if (!text.empty()) {
            text += '\n';
        }
        text += port_in_use_text(device, pid);
    }
    return text;
}

// On Linux a serial adapter the user may not open is the usual reason for a failed search.
void show_permission_hints(Download& d) {
    for (const std::string& device : d.refused_devices) {
        const auto ownership = d.options.device_ownership ? d.options.device_ownership(device)
                                                          : device_ownership(device);
        d.ui.wait_dialog_message_box(permission_hint(device, ownership), kErrorCaption,
                                     MessageIcon::Warning);
    }
}

// Takes the lock of a candidate port; false when another program holds it.
bool lock_port(Download& d, const std::string& device) {
    if (device.empty()) {
        return true;
    }
    const LockAttempt lock = d.lock.acquire(device, d.options.lock_dir);
    if (lock.stale_removed) {
        d.note("removed the stale lock file " + lock.path.string());
    }
    switch (lock.status) {
    case LockStatus::Held:
        return true;
    case LockStatus::InUse:
        if (d.busy_devices.emplace(device, lock.pid).second) {
            d.note(device + " is locked by " +
                   (lock.pid > 0 ? "PID " + std::to_string(lock.pid) : "another program") + " (" +
                   lock.path.string() + ")");
        }
        return false;
    case LockStatus::Unavailable:
        if (!d.lock_noted) {
            d.lock_noted = true;
            d.note("no lock file " + lock.path.string() + ": " + std::strerror(lock.error) +
                   "; the port is held by flock during each exchange and against this program's "
                   "other downloads only");
        }
        return true;
    }
    return true;
}

enum class Probe { Absent, Busy, Silent, Found };

// Listens on one port number for the base unit's presence byte. The port found stays locked.
Probe probe_port(Download& d, int number, const std::vector<std::string>& ports) {
    const std::vector<std::uint8_t> start = request_frame(kCommandStart);
    d.link.port_name = port_device(number, ports);
    d.link.port_number = number;
    if (!d.link.port_name.empty()) {
        d.ui.set_status(searching_text(d.link.port_name));
        if (!lock_port(d, d.link.port_name)) {
            d.link.base_unit_announced = false;
            return Probe::Busy;
        }
    }
    const ExchangeResult probe = d.exchange(TransferMode::Listen, start);
    if (probe.status == PortStatus::OpenFailed && (probe.error == EACCES || probe.error == EPERM)) {
        d.refused_devices.insert(d.link.port_name);
    }
    if (probe.code() == kPresenceByte) {
        return Probe::Found;
    }
    d.lock.release();
    if (probe.status == PortStatus::Busy) {
        d.busy_devices.emplace(d.link.port_name, 0);
        return Probe::Busy;
    }
    return probe.status == PortStatus::NoSuchPort ? Probe::Absent : Probe::Silent;
}

enum class Search { Found, NotFound, AllBusy };

// Listens on every port number in turn for the base unit's presence byte. When every port
// there is belongs to another program, there is nothing to wait for.
Search search_ports(Download& d, Stop& stop) {
    for (int pass = 0; pass < d.options.timing.search_passes; ++pass) {
        const std::vector<std::string> ports =
            d.options.ports ? *d.options.ports : serial_port_list();
        int existing = 0;
        int busy = 0;
        for (int number = 1; number <= d.options.timing.highest_port_number; ++number) {
            const Probe probe = probe_port(d, number, ports);
            existing += probe != Probe::Absent ? 1 : 0;
            busy += probe == Probe::Busy ? 1 : 0;
            stop = stop_of(d.ui.pump_messages(PumpMode::WaitDialogOnly));
            if (stop != Stop::None) {
                return Search::NotFound;
            }
            if (probe == Probe::Found) {
                return Search::Found;
            }
        }
        if (existing > 0 && busy == existing) {
            return Search::AllBusy;
        }
    }
    return Search::NotFound;
}

void toggle_lamps(Download& d) {
    d.lamps = d.lamps == LampState::Phase0 ? LampState::Phase1 : LampState::Phase0;
    d.ui.set_lamp_state(d.lamps);
}

// A base unit that goes on without its last packet beyond what any meter holds, in bytes or in
// time: the reason for giving up, empty while the download goes on.
std::string beyond_any_meter(const Download& d, std::uint8_t code,
                             std::chrono::steady_clock::duration elapsed) {
    const LinkTiming& timing = d.options.timing;
    if (code == kReplyLastData) {
        return {};
    }
    if (code == kReplyData && d.result.stream.size() > timing.max_stream_bytes) {
        return "more than " + std::to_string(timing.max_stream_bytes) +
               " bytes without the last packet; gave up";
    }
    if (elapsed > download_time_limit(timing)) {
        return "no last packet after " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count()) +
               " s, the longest the fullest meter takes; gave up";
    }
    return {};
}

// Requests the packets one by one until the last one; the outcome is Completed when it arrived.
DownloadResult receive_packets(Download& d) {
    const auto start = d.context.clock.now();
    std::uint8_t command = kCommandFirstPacket;
    int empty_in_a_row = 0;
    for (bool last = false; !last;) {
        const RequestReply reply = send_request(d.link.port_name, command, d.context, d.ui);
        d.heard(reply.exchange);
        const RequestResult request = reply.result;
        if (request == RequestResult::Quit || request == RequestResult::Cancelled) {
            return stopped(d, request == RequestResult::Quit ? Stop::Quit : Stop::Cancel);
        }
        if (request == RequestResult::GaveUp) {
            return given_up(d, kNoLongerReceivingText, "base unit stopped answering; gave up");
        }
        if (request != RequestResult::Success) {
            // A lost link or an unknown reply: the base unit has ended the download itself.
            d.note("base unit stopped answering; download abandoned");
            d.ui.message_box(kNoLongerReceivingText, kErrorCaption, MessageIcon::Error);
            d.ui.end_wait_dialog();
            return failed(d, DownloadOutcome::LinkLost);
        }
        command = kCommandNextPacket;
        const std::uint8_t code = reply.exchange.code();
        if (code == kReplyData || code == kReplyLastData) {
            const auto data = reply_data(reply.exchange.reply());
            d.result.stream.insert(d.result.stream.end(), data.begin(), data.end());
            ++d.result.packets;
            toggle_lamps(d);
            d.ui.set_progress(d.result.packets, d.result.stream.size());
            empty_in_a_row = data.empty() ? empty_in_a_row + 1 : 0;
        }
        if (std::string beyond = beyond_any_meter(d, code, d.context.clock.now() - start);
            !beyond.empty()) {
            return given_up(d, kEndlessDataText, std::move(beyond));
        }
        if (code == kReplyData && empty_in_a_row >= d.options.timing.max_empty_packets) {
            return given_up(d, kEmptyPacketsText,
                            std::to_string(empty_in_a_row) + " empty packets in a row; gave up");
        }
        if (code == kReplyLastData) {
            // The base unit expects one more Next packet after its last one; the reply is of no
            // interest.
            d.exchange(TransferMode::WriteThenRead, request_frame(kCommandNextPacket));
            last = true;
        }
        if (const Stop stop = stop_of(d.ui.pump_messages(PumpMode::All)); stop != Stop::None) {
            return stopped(d, stop);
        }
    }
    d.result.outcome = DownloadOutcome::Completed;
    return std::move(d.result);
}

// Finds the base unit (or takes the one that announced itself at the end of an earlier
// download) and holds its port. Returns the result when the download cannot go on.
std::optional<DownloadResult> find_base_unit(Download& d) {
    Stop stop = Stop::None;
    Search search = Search::Found;
    if (d.link.base_unit_announced) {
        if (!lock_port(d, d.link.port_name)) {
            search = Search::AllBusy;
        }
    } else {
        search = search_ports(d, stop);
    }
    if (stop != Stop::None) {
        return stopped(d, stop);
    }
    if (search == Search::Found) {
        return std::nullopt;
    }
    d.link.link_established = false;
    if (search == Search::AllBusy) {
        d.note("every port found is in use by another program");
        d.ui.wait_dialog_message_box(in_use_lines(d), kErrorCaption, MessageIcon::Error);
    } else {
        d.note("no base unit found");
        d.ui.wait_dialog_message_box(kNotFoundText, kErrorCaption, MessageIcon::Error);
        show_permission_hints(d);
        if (!d.busy_devices.empty()) {
            d.ui.wait_dialog_message_box(in_use_lines(d), kErrorCaption, MessageIcon::Warning);
        }
    }
    d.ui.end_wait_dialog();
    return failed(d, search == Search::AllBusy ? DownloadOutcome::PortInUse
                                               : DownloadOutcome::NotFound);
}

} // namespace

std::chrono::milliseconds download_time_limit(const LinkTiming& timing) {
    const auto packet = timing.write_wait + timing.read_gap + timing.packet_wait;
    return 2 * static_cast<std::int64_t>(kFullestMeterPackets) * packet;
}

std::string searching_text(const std::string& device) {
    return "Looking for the base unit on " + device + "\x85";
}

std::string asking_again_text(int exchange, int limit) {
    return "No answer yet, asking again (" + std::to_string(exchange) + " of " +
           std::to_string(limit) + ")";
}

std::string progress_text(std::size_t packets, std::size_t bytes) {
    char text[96];
    std::snprintf(text, sizeof text, "Received %zu packet%s (%zu byte%s)", packets,
                  packets == 1 ? "" : "s", bytes, bytes == 1 ? "" : "s");
    return text;
}

DownloadResult download_readings(LinkState& link, ReadingStore& store, MeterIdentity& meter,
                                 JobRecords& job_records, Selection& selection, DownloadUi& ui,
                                 const DownloadOptions& options) {
    PosixSerialTransport posix_port;
    SteadyLinkClock steady_clock;
    LinkContext context{options.transport != nullptr ? *options.transport : posix_port,
                        options.clock != nullptr ? *options.clock : steady_clock, options.timing,
                        options.transcript, [&ui](int exchange, int limit) {
                            ui.set_status(asking_again_text(exchange, limit));
                        }};
    Download d(link, ui, context, options);
    d.note("download started");

    if (!ui.create_wait_dialog()) {
        ui.message_box(kWindowFailedText, kErrorCaption, MessageIcon::Warning);
        return failed(d, DownloadOutcome::WindowFailed);
    }
    ui.set_lamp_state(d.lamps);
    if (auto stopped_early = find_base_unit(d)) {
        return std::move(*stopped_early);
    }

    link.link_established = true;
    d.result.port = link.port_name;
    d.note("base unit found on " + link.port_name + " (port " + std::to_string(link.port_number) +
           ")" +
           (d.lock.held()
                ? ", held with " + options.lock_dir.string() + "/" + lock_file_name(link.port_name)
                : ""));
    d.lamps = LampState::Phase0;
    ui.set_lamp_state(d.lamps);
    d.exchange(TransferMode::WriteOnly, request_frame(kCommandStart));
    d.started = true;
    ui.show_wait_dialog();

    DownloadResult result = receive_packets(d);
    if (result.outcome != DownloadOutcome::Completed) {
        return result;
    }
    send_end(d);
    d.lock.release();
    ui.end_wait_dialog();
    d.note("download complete: " + std::to_string(result.packets) + " packets, " +
           std::to_string(result.stream.size()) + " bytes");
    // Only now does the new data replace the old, job records and selection included.
    result.report = decode_download(result.stream, store, meter, job_records, selection);
    return result;
}

} // namespace qm
