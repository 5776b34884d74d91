#include "link/download_procedure.h"

#include "link/link_transcript.h"
#include "link/protocol.h"
#include "link/serial_port.h"

#include <cerrno>
#include <grp.h>
#include <set>
#include <sys/stat.h>

namespace qm {

namespace {

constexpr std::string_view kErrorCaption = "Error!";
constexpr std::string_view kWindowFailedText = "Window Creation Failed!(hwin1)";
constexpr std::string_view kNotFoundText =
    "Communication could not be established! Please check all connections and status of the "
    "base unit and meter and try again.";
constexpr std::string_view kNoLongerReceivingText = "No longer receiving message";
constexpr std::string_view kPermissionCaption = "Serial Port Access";
constexpr const char* kUsualSerialGroup = "dialout";

// Everything one download works with.
struct Download {
    LinkState& link;
    DownloadUi& ui;
    LinkContext& context;
    const DownloadOptions& options;
    DownloadResult result;
    std::set<std::string> refused_devices; // candidates that refused to open (permissions)

    void note(std::string text) {
        if (context.transcript != nullptr) {
            context.transcript->add_note(std::move(text));
        }
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

// Quit and cancel end alike: nothing decoded, no message, no End frame; a quit is passed on.
DownloadResult stopped(Download& d, Stop stop) {
    d.note(stop == Stop::Quit ? "application closed during the download"
                              : "download cancelled by the user");
    d.ui.end_wait_dialog();
    if (stop == Stop::Quit) {
        d.ui.post_quit();
    }
    d.result.outcome = stop == Stop::Quit ? DownloadOutcome::Quit : DownloadOutcome::Cancelled;
    d.result.stream.clear();
    return std::move(d.result);
}

std::string group_of(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) == 0) {
        if (const group* g = ::getgrgid(st.st_gid); g != nullptr) {
            return g->gr_name;
        }
    }
    return kUsualSerialGroup;
}

// On Linux a serial adapter the user may not open is the usual reason for a failed search.
void show_permission_hint(Download& d) {
    for (const std::string& device : d.refused_devices) {
        const std::string group = group_of(device);
        const std::string text =
            "The serial port " + device + " could not be opened: permission denied.\n\n" +
            "If the base unit is connected there, ask your administrator to add your user to the "
            "group \"" +
            group + "\" that owns the port (for example: sudo usermod -a -G " + group +
            " $USER), then log out and log in again.";
        d.ui.wait_dialog_message_box(text, kErrorCaption, MessageIcon::Warning);
    }
}

// Listens on every port number in turn for the base unit's presence byte.
Stop search_ports(Download& d) {
    const std::vector<std::uint8_t> start = request_frame(kCommandStart);
    for (int pass = 0; pass < d.options.timing.search_passes; ++pass) {
        const std::vector<std::string> ports =
            d.options.ports ? *d.options.ports : serial_port_list();
        for (int number = 1; number <= d.options.timing.highest_port_number; ++number) {
            d.link.port_name = port_device(number, ports);
            d.link.port_number = number;
            const ExchangeResult probe = serial_exchange(d.link, start, d.context);
            if (probe.status == PortStatus::OpenFailed &&
                (probe.error == EACCES || probe.error == EPERM)) {
                d.refused_devices.insert(d.link.port_name);
            }
            if (const Stop stop = stop_of(d.ui.pump_messages(PumpMode::WaitDialogOnly));
                stop != Stop::None) {
                return stop;
            }
            if (d.link.receive_buffer[0] == kPresenceByte) {
                return Stop::None;
            }
        }
    }
    return Stop::None;
}

void toggle_lamps(Download& d) {
    d.link.lamp_state =
        d.link.lamp_state == LampState::Phase0 ? LampState::Phase1 : LampState::Phase0;
    d.ui.set_lamp_state(d.link.lamp_state);
}

// Requests the packets one by one until the last one; the outcome is Completed when it arrived.
DownloadResult receive_packets(Download& d) {
    std::uint8_t command = kCommandFirstPacket;
    bool last = false;
    while (!last) {
        toggle_lamps(d);
        const RequestResult request = send_request(d.link, command, d.context, d.ui);
        if (request == RequestResult::Quit) {
            return stopped(d, Stop::Quit);
        }
        if (request == RequestResult::Cancelled) {
            return stopped(d, Stop::Cancel);
        }
        if (request != RequestResult::Success) {
            d.note("base unit stopped answering; download abandoned");
            d.ui.message_box(kNoLongerReceivingText, kErrorCaption, MessageIcon::Error);
            d.ui.end_wait_dialog();
            d.result.outcome = DownloadOutcome::LinkLost;
            d.result.stream.clear();
            return std::move(d.result);
        }
        command = kCommandNextPacket;
        const std::uint8_t code = d.link.receive_buffer[0];
        if (code == kReplyData || code == kReplyLastData) {
            const auto data = reply_data(last_reply(d.link));
            d.result.stream.insert(d.result.stream.end(), data.begin(), data.end());
            ++d.result.packets;
            d.ui.set_progress(d.result.packets, d.result.stream.size());
        }
        if (code == kReplyLastData) {
            // The base unit expects one more Next packet after its last one; the reply is of no
            // interest.
            const std::vector<std::uint8_t> next = request_frame(kCommandNextPacket);
            d.link.transfer_mode = TransferMode::WriteThenRead;
            serial_exchange(d.link, next, d.context);
            last = true;
        }
        if (const Stop stop = stop_of(d.ui.pump_messages(PumpMode::All)); stop != Stop::None) {
            return stopped(d, stop);
        }
    }
    d.result.outcome = DownloadOutcome::Completed;
    return std::move(d.result);
}

} // namespace

DownloadResult download_readings(LinkState& link, ReadingStore& store, MeterIdentity& meter,
                                 JobRecords& job_records, Selection& selection, DownloadUi& ui,
                                 const DownloadOptions& options) {
    PosixSerialTransport posix_port;
    SteadyLinkClock steady_clock;
    LinkContext context{options.transport != nullptr ? *options.transport : posix_port,
                        options.clock != nullptr ? *options.clock : steady_clock, options.timing,
                        options.transcript};
    Download d{link, ui, context, options, {}, {}};
    d.note("download started");

    job_records.clear();
    if (!ui.create_wait_dialog()) {
        ui.message_box(kWindowFailedText, kErrorCaption, MessageIcon::Warning);
        d.result.outcome = DownloadOutcome::WindowFailed;
        return std::move(d.result);
    }
    link.lamp_state = LampState::Off;
    ui.set_lamp_state(link.lamp_state);
    link.transfer_mode = TransferMode::Listen;

    // A base unit that announced itself in the last exchange of a previous download is still there.
    if (link.receive_buffer[0] != kPresenceByte) {
        if (const Stop stop = search_ports(d); stop != Stop::None) {
            return stopped(d, stop);
        }
    }
    if (link.receive_buffer[0] != kPresenceByte) {
        link.link_established = false;
        d.note("no base unit found");
        ui.wait_dialog_message_box(kNotFoundText, kErrorCaption, MessageIcon::Error);
        show_permission_hint(d);
        ui.end_wait_dialog();
        d.result.outcome = DownloadOutcome::NotFound;
        return std::move(d.result);
    }

    link.link_established = true;
    d.result.port = link.port_name;
    d.note("base unit found on " + link.port_name + " (port " + std::to_string(link.port_number) +
           ")");
    link.lamp_state = LampState::Phase0;
    ui.set_lamp_state(link.lamp_state);
    link.transfer_mode = TransferMode::WriteOnly;
    serial_exchange(link, request_frame(kCommandStart), context);
    ui.show_wait_dialog();

    DownloadResult result = receive_packets(d);
    if (result.outcome != DownloadOutcome::Completed) {
        return result;
    }
    link.transfer_mode = TransferMode::WriteOnly;
    serial_exchange(link, request_frame(kCommandEnd), context);
    ui.end_wait_dialog();
    d.note("download complete: " + std::to_string(result.packets) + " packets, " +
           std::to_string(result.stream.size()) + " bytes");
    result.report = decode_download(result.stream, store, meter, job_records, selection);
    return result;
}

} // namespace qm
