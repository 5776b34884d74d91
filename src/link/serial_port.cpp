#include "link/serial_port.h"

#include "link/protocol.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace qm {

namespace {

using Clock = std::chrono::steady_clock;

// Closes the descriptor on every way out of a transfer; the flock goes with it.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

int poll_timeout_ms(Clock::time_point until) {
    const auto left = until - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Modem-control requests that a device without modem lines (a pseudo-terminal) refuses.
bool unsupported(int error) {
    return error == ENOTTY || error == EINVAL || error == ENOSYS;
}

// Raw 9600 8N1 with CTS output flow control; DTR held on, RTS raised for the handshake. Linux
// serial drivers have no DSR output flow control, so that part of the base unit's handshake is
// left to CTS.
bool configure(int fd, TransferResult& result) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        result.status = PortStatus::ConfigFailed;
        result.error = errno;
        return false;
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
    tio.c_cflag |= CS8 | CREAD | CLOCAL | CRTSCTS;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        result.status = PortStatus::ConfigFailed;
        result.error = errno;
        return false;
    }
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &lines) != 0 && !unsupported(errno)) {
        result.status = PortStatus::ConfigFailed;
        result.error = errno;
        return false;
    }
    // Bytes that arrived while the port was closed belong to no exchange of ours.
    ::tcflush(fd, TCIFLUSH);
    return true;
}

bool output_drained(int fd) {
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0) {
        return true; // the device cannot tell: count the write as done once handed over
    }
    return queued == 0;
}

// Writes the request and waits until it has left the port, for at most `limit`.
void write_request(int fd, std::span<const std::uint8_t> request, std::chrono::milliseconds limit,
                   std::chrono::milliseconds poll_interval, TransferResult& result) {
    const auto deadline = Clock::now() + limit;
    while (true) {
        if (result.written < request.size()) {
            const ssize_t n =
                ::write(fd, request.data() + result.written, request.size() - result.written);
            if (n > 0) {
                result.written += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            }
        } else if (output_drained(fd)) {
            result.write_done = true;
            return;
        }
        if (Clock::now() >= deadline) {
            return;
        }
        pollfd p{fd, result.written < request.size() ? short{POLLOUT} : short{0}, 0};
        const auto step = std::min<Clock::time_point>(deadline, Clock::now() + poll_interval);
        if (::poll(&p, 1, poll_timeout_ms(step)) > 0 && (p.revents & (POLLHUP | POLLERR)) != 0) {
            return; // the device has gone
        }
    }
}

// Reads until the reply buffer is full, `gap` has passed after the last byte, or `limit` has
// passed without the read completing.
std::size_t read_reply(int fd, std::span<std::uint8_t> reply, std::chrono::milliseconds limit,
                       std::chrono::milliseconds gap) {
    const auto deadline = Clock::now() + limit;
    std::size_t got = 0;
    Clock::time_point last_byte{};
    while (got < reply.size()) {
        const auto until = got == 0 ? deadline : std::min(deadline, last_byte + gap);
        if (Clock::now() >= until) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, poll_timeout_ms(until));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t n = ::read(fd, reply.data() + got, reply.size() - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            last_byte = Clock::now();
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            // The other side has gone (a hung-up device or a closed emulator): nothing more comes.
            break;
        }
    }
    return got;
}

PortStatus open_failure_status(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return PortStatus::NoSuchPort;
    case EBUSY:
        return PortStatus::Busy;
    default:
        return PortStatus::OpenFailed;
    }
}

// Natural order: ttyUSB2 before ttyUSB10.
bool device_less(const std::string& a, const std::string& b) {
    const auto digits = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') {
            --i;
        }
        return i;
    };
    const std::size_t da = digits(a);
    const std::size_t db = digits(b);
    const std::string_view pa(a.data(), da);
    const std::string_view pb(b.data(), db);
    if (pa != pb) {
        return pa < pb;
    }
    const std::string_view na = std::string_view(a).substr(da);
    const std::string_view nb = std::string_view(b).substr(db);
    if (na.size() != nb.size()) {
        return na.size() < nb.size();
    }
    return na < nb;
}

bool has_real_uart(const std::filesystem::path& sys_tty_dir, const std::string& name) {
    std::ifstream type_file(sys_tty_dir / name / "type");
    int type = 0;
    return static_cast<bool>(type_file >> type) && type != 0;
}

} // namespace

TransferResult PosixSerialTransport::transfer(const std::string& device, TransferMode mode,
                                              std::span<const std::uint8_t> request,
                                              std::span<std::uint8_t> reply,
                                              const LinkTiming& timing) {
    TransferResult result;
    if (device.empty()) {
        result.status = PortStatus::NoSuchPort;
        return result;
    }
    const Descriptor port(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (port.get() < 0) {
        result.error = errno;
        result.status = open_failure_status(result.error);
        return result;
    }
    // A second program on the same port would steal bytes of our replies.
    if (::flock(port.get(), LOCK_EX | LOCK_NB) != 0) {
        result.error = errno;
        result.status = PortStatus::Busy;
        return result;
    }
    if (!configure(port.get(), result)) {
        return result;
    }
    switch (mode) {
    case TransferMode::WriteThenRead:
        write_request(port.get(), request, timing.write_wait, timing.poll_interval, result);
        result.read = read_reply(port.get(), reply.first(std::min(reply.size(), kMaxReplyBytes)),
                                 timing.read_polls * timing.poll_interval, timing.read_gap);
        break;
    case TransferMode::Listen:
        result.read = read_reply(port.get(), reply.first(std::min<std::size_t>(reply.size(), 1)),
                                 timing.listen_polls * timing.poll_interval, timing.read_gap);
        break;
    case TransferMode::WriteOnly:
        write_request(port.get(), request, timing.write_polls * timing.poll_interval,
                      timing.poll_interval, result);
        break;
    }
    return result;
}

std::chrono::steady_clock::time_point SteadyLinkClock::now() {
    return std::chrono::steady_clock::now();
}

void SteadyLinkClock::sleep_for(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

ExchangeResult serial_exchange(const std::string& device, TransferMode mode,
                               std::span<const std::uint8_t> request, LinkContext& context) {
    ExchangeResult result;
    const std::span<std::uint8_t> reply = std::span(result.buffer).first(kMaxReplyBytes);
    const TransferResult io =
        context.transport.transfer(device, mode, request, reply, context.timing);
    result.status = io.status;
    result.error = io.error;
    if (io.status == PortStatus::Ok) {
        result.bytes_sent = static_cast<std::uint32_t>(io.written);
        result.bytes_received =
            static_cast<std::uint32_t>(mode == TransferMode::WriteOnly ? io.written : io.read);
        result.accepted = reply_accepted(reply.first(std::min(io.read, reply.size())));
    }
    if (context.transcript != nullptr && !device.empty()) {
        TranscriptEntry entry;
        entry.time = std::chrono::system_clock::now();
        entry.port = device;
        entry.mode = mode;
        if (mode != TransferMode::Listen) {
            entry.sent.assign(request.begin(),
                              request.begin() + static_cast<std::ptrdiff_t>(
                                                    std::min(io.written, request.size())));
        }
        entry.received.assign(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(io.read));
        entry.status = io.status;
        entry.error = io.error;
        entry.accepted = result.accepted;
        context.transcript->entries.push_back(std::move(entry));
    }
    return result;
}

std::vector<std::string> parse_port_list(std::string_view value) {
    std::vector<std::string> ports;
    while (!value.empty()) {
        const std::size_t colon = value.find(':');
        const std::string_view item = value.substr(0, colon);
        if (!item.empty()) {
            ports.emplace_back(item);
        }
        if (colon == std::string_view::npos) {
            break;
        }
        value.remove_prefix(colon + 1);
    }
    return ports;
}

std::vector<std::string> scan_serial_devices(const std::filesystem::path& dev_dir,
                                             const std::filesystem::path& sys_tty_dir) {
    std::vector<std::string> usb;
    std::vector<std::string> acm;
    std::vector<std::string> uart;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dev_dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("ttyUSB")) {
            usb.push_back(name);
        } else if (name.starts_with("ttyACM")) {
            acm.push_back(name);
        } else if (name.starts_with("ttyS") && has_real_uart(sys_tty_dir, name)) {
            uart.push_back(name);
        }
    }
    std::vector<std::string> ports;
    for (auto* group : {&usb, &acm, &uart}) {
        std::sort(group->begin(), group->end(), device_less);
        for (const std::string& name : *group) {
            ports.push_back((dev_dir / name).string());
        }
    }
    return ports;
}

std::vector<std::string> serial_port_list() {
    if (const char* value = std::getenv("QUELLMARK_PORTS"); value != nullptr) {
        return parse_port_list(value);
    }
    return scan_serial_devices("/dev", "/sys/class/tty");
}

std::string port_device(int number, const std::vector<std::string>& ports) {
    if (number < 1 || static_cast<std::size_t>(number) > ports.size()) {
        return {};
    }
    return ports[static_cast<std::size_t>(number) - 1];
}

} // namespace qm
