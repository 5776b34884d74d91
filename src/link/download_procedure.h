#pragma once

#include "link/download_decoder.h"
#include "link/link_state.h"
#include "link/port_access.h"
#include "link/port_lock.h"
#include "store/user_interface.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

class SerialTransport;
class LinkClock;
struct LinkTranscript;

// What the download needs from the "Please Wait.." dialog, on top of message boxes and the
// message pump. The desktop program implements it with the real dialog, qmtool for a terminal,
// tests as recorders.
//
// Pumps: during the port search pump_messages(PumpMode::WaitDialogOnly), afterwards
// pump_messages(PumpMode::All). PumpResult::Quit ends the download without decoding and is
// followed by post_quit(); PumpResult::Cancel ends it the same way without post_quit().
class DownloadUi : public UserInterface {
public:
    // Creates the wait dialog, owned by the main window, visible, with the lamps off. False when
    // it could not be created (the download then shows "Window Creation Failed!(hwin1)").
    virtual bool create_wait_dialog() = 0;
    // Shows the wait dialog and gives it the keyboard focus (once the base unit has answered).
    virtual void show_wait_dialog() = 0;
    // Ends the wait dialog. Called exactly once after every successful create_wait_dialog().
    virtual void end_wait_dialog() = 0;
    // The lamps to draw; the dialog repaints with them.
    virtual void set_lamp_state(LampState state) = 0;
    // Packets and data bytes received so far in this download (shown as progress_text()).
    virtual void set_progress(std::size_t packets, std::size_t bytes) = 0;
    // What the download is doing now, one line of Windows-1252 text (searching_text(),
    // asking_again_text()); the next set_progress() replaces it.
    virtual void set_status(std::string_view text) = 0;
    // A message box owned by the wait dialog (used while it is still open).
    virtual void wait_dialog_message_box(std::string_view text, std::string_view caption,
                                         MessageIcon icon) {
        message_box(text, caption, icon);
    }
    // The application is being closed: post the quit request again (exit code 0) so the
    // message loop ends once the download has returned.
    virtual void post_quit() = 0;
};

enum class DownloadOutcome {
    Completed,    // the stream was decoded (report.no_data tells whether it held readings)
    WindowFailed, // the wait dialog could not be created
    NotFound,     // no base unit answered the port search
    PortInUse,    // every port found is held by another program
    LinkLost,     // the base unit stopped answering, reported a lost link or sent an unknown reply
    Quit,         // the application is being closed; nothing was decoded
    Cancelled,    // the user cancelled; nothing was decoded
};

struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::WindowFailed;
    std::string port;                 // device of the base unit, when one was found
    std::size_t packets = 0;          // data packets received
    std::vector<std::uint8_t> stream; // the download stream (Completed only)
    DecodeReport report;              // Completed only
};

struct DownloadOptions {
    LinkTiming timing{};
    // The devices behind port numbers 1, 2, ...; when unset, serial_port_list() at every pass.
    std::optional<std::vector<std::string>> ports;
    // Where the device lock files are kept.
    std::filesystem::path lock_dir = kLockDir;
    // Looks up a refused device's group and mode for the permission hint; unset: stat(2).
    std::function<std::optional<DeviceOwnership>(const std::string&)> device_ownership;
    SerialTransport* transport = nullptr; // nullptr: the POSIX serial port
    LinkClock* clock = nullptr;           // nullptr: the steady clock and real sleeps
    LinkTranscript* transcript = nullptr; // when set, every exchange is recorded in it
};

// The fullest meter: five jobs of 1600 readings (a job record keeps 1600 values, the most one job
// holds), each of the longest record (13 bytes, RH/T), behind the longest header (a 19-character
// model, its terminator, the job flags and five IDs: 31 bytes): 104,031 bytes in 1,445 packets.
constexpr std::size_t kFullestMeterReadings = 5 * 1600;
constexpr std::size_t kFullestMeterBytes = 31 + 13 * kFullestMeterReadings;
constexpr std::size_t kFullestMeterPackets = (kFullestMeterBytes + 71) / 72;

// The longest a download may take from its Start frame to its last packet: twice the fullest
// meter's packets at the protocol's pace, each packet its write wait, its read gap and the wait
// after it (the waits stand in for the wire time of a packet: 78 ms at 9600 baud). With the base
// unit's timing 1,445 x 550 ms x 2, about 26.5 minutes; shorter timings shorten it alike.
std::chrono::milliseconds download_time_limit(const LinkTiming& timing);

// The wait dialog's lines: "Looking for the base unit on /dev/ttyUSB0\x85" (an ellipsis),
// "No answer yet, asking again (3 of 25)" and "Received 1 packet (72 bytes)".
std::string searching_text(const std::string& device);
std::string asking_again_text(int exchange, int limit);
std::string progress_text(std::size_t packets, std::size_t bytes);

// Fetches every stored reading from the base unit: searches the ports for it, holds the port it
// answers on for the whole download (lock file and flock), requests the data packets, ends the
// exchange and decodes the stream into the store. Only a completed download changes the store,
// the job records, the meter identity and the selection; a cancelled or failed one leaves them as
// they were. Once the base unit has been started, cancelling (or closing the program) and giving
// up on a silent base unit send the End frame, so the base unit is ready for the next download.
// Shows its own messages through the ui; returns when the download has finished or failed.
DownloadResult download_readings(LinkState& link, ReadingStore& store, MeterIdentity& meter,
                                 JobRecords& job_records, Selection& selection, DownloadUi& ui,
                                 const DownloadOptions& options = {});

} // namespace qm
