// rq5200-sim: an emulator of the RQ-5200 base unit with a meter docked, on a pseudo-terminal.
#include "link/protocol.h"
#include "resources/version.h"
#include "tools/rq5200-sim/base_unit.h"
#include "tools/rq5200-sim/demo_meter.h"
#include "tools/rq5200-sim/drying_meter.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <set>
#include <string>
#include <string_view>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr auto kDefaultPresenceInterval = milliseconds{200};
// The split reply's two parts are further apart than the host's 50 ms read gap.
constexpr auto kSplitPause = milliseconds{150};
// A host that opened the port gets time to send its request before a presence byte could land
// in the reply it waits for; a listening host waits far longer than this.
constexpr auto kPresenceSettle = milliseconds{30};
// Pause after a hang-up that the open and close events did not report (an overflowing event
// queue), so the loop does not spin.
constexpr auto kNoHostBackoff = milliseconds{1};

constexpr const char* kUsage =
    "usage: rq5200-sim LINK_PATH (--demo | --drying-day N | --stream FILE) [options]\n"
    "       rq5200-sim --help | --version\n"
    "\n"
    "Creates a pseudo-terminal, links LINK_PATH to it and answers a host as the RQ-5200 base\n"
    "unit does. Point Quellmark at it with QUELLMARK_PORTS=LINK_PATH.\n"
    "\n"
    "memory image:\n"
    "  --demo                 a realistic demo meter (five jobs)\n"
    "  --model TEXT           demo meter model: \"TRK ALFA\" (default) or \"VKM2 SCAN\"\n"
    "  --seed N               demo data seed (default 1)\n"
    "  --readings N           demo readings, 1..5000 (default 60)\n"
    "  --drying-day N         a meter on day N (1..7) of a week of drying one job (job 2, ID\n"
    "                         118, dated N days after 2 March 2026; --model applies)\n"
    "  --stream FILE          the raw download stream in FILE\n"
    "  --write-image FILE     also write the memory image to FILE\n"
    "behaviour:\n"
    "  --once                 exit after one completed download\n"
    "  --presence-ms N        presence byte interval (default 200); no presence byte is sent\n"
    "                         from the Start of a download until its End, to anyone\n"
    "  --verbose              log every frame on stderr\n"
    "faults (K = data packet number, from 1; each fires once per download):\n"
    "  --corrupt-checksum K   send packet K with a wrong checksum\n"
    "  --link-lost K          reply 0x77 at packet K (the download ends)\n"
    "  --confirm K            send a 0x33 confirmation before packet K\n"
    "  --error-report K:B     send error report 0x01 B before packet K\n"
    "  --silent-after K       answer nothing after packet K until the End frame\n"
    "  --split K              send packet K in two parts 150 ms apart\n"
    "  --unknown-code K[:C]   reply with code C (default 0x42) at packet K (the download ends)\n"
    "  --endless              never send the last-packet code: the image again and again\n"
    "  --empty-after K        from packet K on, empty data packets for ever\n"
    "  --fault-file FILE      read the faults of each download from FILE at its Start (fault\n"
    "                         options as above, separated by blanks; empty: no fault)\n";

// The options a fault file may hold; --endless is the one without a value.
const std::set<std::string_view> kValuedFaults = {
    "--corrupt-checksum", "--link-lost", "--confirm",      "--error-report",
    "--silent-after",     "--split",     "--unknown-code", "--empty-after"};
constexpr std::string_view kEndlessFlag = "--endless";

struct Options {
    std::string link_path;
    bool demo = false;
    std::string model = "TRK ALFA";
    std::uint32_t seed = 1;
    int readings = rq5200::kDefaultDemoReadings;
    int drying_day = 0; // 0: not a drying meter
    std::string stream_file;
    std::string image_out;
    bool once = false;
    bool verbose = false;
    milliseconds presence{kDefaultPresenceInterval};
    rq5200::Faults faults;
    std::string fault_file;
};

bool parse_int(std::string_view text, int& value, int low, int high) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc{} && end == text.data() + text.size() && value >= low && value <= high;
}

// "K" or "K:B" with a byte B.
bool parse_packet_fault(std::string_view text, int& packet, std::uint8_t* detail) {
    const std::size_t colon = text.find(':');
    if (!parse_int(text.substr(0, colon), packet, 1, 1 << 20)) {
        return false;
    }
    if (colon == std::string_view::npos) {
        return true;
    }
    int value = 0;
    if (detail == nullptr || !parse_int(text.substr(colon + 1), value, 0, 255)) {
        return false;
    }
    *detail = static_cast<std::uint8_t>(value);
    return true;
}

bool parse_option(std::string_view name, const char* value, Options& o) {
    int n = 0;
    std::string_view v = value;
    rq5200::Faults& f = o.faults;
    if (name == "--model") {
        o.model = v;
    } else if (name == "--seed") {
        if (!parse_int(v, n, 0, 1 << 30)) {
            return false;
        }
        o.seed = static_cast<std::uint32_t>(n);
    } else if (name == "--readings") {
        return parse_int(v, o.readings, 1, rq5200::kMaxDemoReadings);
    } else if (name == "--drying-day") {
        return parse_int(v, o.drying_day, 1, rq5200::kDryingDays);
    } else if (name == "--stream") {
        o.stream_file = v;
    } else if (name == "--write-image") {
        o.image_out = v;
    } else if (name == "--presence-ms") {
        if (!parse_int(v, n, 1, 10000)) {
            return false;
        }
        o.presence = milliseconds{n};
    } else if (name == "--corrupt-checksum") {
        return parse_packet_fault(v, f.corrupt_checksum, nullptr);
    } else if (name == "--link-lost") {
        return parse_packet_fault(v, f.link_lost, nullptr);
    } else if (name == "--confirm") {
        return parse_packet_fault(v, f.confirm_before, nullptr);
    } else if (name == "--error-report") {
        return v.find(':') != std::string_view::npos &&
               parse_packet_fault(v, f.error_report, &f.error_detail);
    } else if (name == "--silent-after") {
        return parse_packet_fault(v, f.silent_after, nullptr);
    } else if (name == "--split") {
        return parse_packet_fault(v, f.split, nullptr);
    } else if (name == "--unknown-code") {
        return parse_packet_fault(v, f.unknown_code, &f.unknown_code_value);
    } else if (name == "--empty-after") {
        return parse_packet_fault(v, f.empty_after, nullptr);
    } else if (name == "--fault-file") {
        o.fault_file = v;
    } else {
        return false;
    }
    return true;
}

// Returns the exit status when the program should stop here (help, usage error).
std::optional<int> parse_options(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        } else if (arg == "--version") {
            std::printf("rq5200-sim %s\n", qm::kVersion);
            return kExitOk;
        } else if (arg == "--demo") {
            o.demo = true;
        } else if (arg == "--once") {
            o.once = true;
        } else if (arg == "--verbose") {
            o.verbose = true;
        } else if (arg == kEndlessFlag) {
            o.faults.endless = true;
        } else if (arg.starts_with("--")) {
            if (i + 1 >= argc || !parse_option(arg, argv[i + 1], o)) {
                std::fprintf(stderr, "rq5200-sim: bad or missing value for %s\n", argv[i]);
                return kExitUsage;
            }
            ++i;
        } else if (o.link_path.empty()) {
            o.link_path = arg;
        } else {
            std::fprintf(stderr, "rq5200-sim: unexpected argument %s\n", argv[i]);
            return kExitUsage;
        }
    }
    // Exactly one memory image.
    if (o.link_path.empty() ||
        int{o.demo} + int{!o.stream_file.empty()} + int{o.drying_day != 0} != 1) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    return std::nullopt;
}

// The faults of the download that starts now, from the fault file. A missing or empty file is a
// clean download; a file that cannot be understood is said so and is a clean download too.
rq5200::Faults read_fault_file(const std::string& path) {
    std::ifstream in(path);
    const std::vector<std::string> words{std::istream_iterator<std::string>(in),
                                         std::istream_iterator<std::string>()};
    Options o;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == kEndlessFlag) {
            o.faults.endless = true;
            continue;
        }
        if (!kValuedFaults.contains(words[i]) || i + 1 >= words.size() ||
            !parse_option(words[i], words[i + 1].c_str(), o)) {
            std::fprintf(stderr, "rq5200-sim: %s: cannot use \"%s\"; no fault this time\n",
                         path.c_str(), words[i].c_str());
            return {};
        }
        ++i;
    }
    return o.faults;
}

bool load_image(const Options& o, std::vector<std::uint8_t>& image) {
    if (o.demo) {
        image = rq5200::demo_image(o.model, o.seed, o.readings);
    } else if (o.drying_day != 0) {
        image = rq5200::drying_day_image(o.model, o.drying_day);
    } else {
        std::ifstream in(o.stream_file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "rq5200-sim: %s: %s\n", o.stream_file.c_str(),
                         std::strerror(errno));
            return false;
        }
        image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (!o.image_out.empty()) {
        std::ofstream out(o.image_out, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()),
                  static_cast<std::streamsize>(image.size()));
        if (!out) {
            std::fprintf(stderr, "rq5200-sim: %s: cannot write\n", o.image_out.c_str());
            return false;
        }
    }
    return true;
}

// The master side of a new pseudo-terminal, raw before any host opens the slave.
int open_master(std::string& slave_name) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        return -1;
    }
    termios tio{};
    if (::tcgetattr(master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(master, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    slave_name = ::ptsname(master);
    return master;
}

// The link path may replace a stale link of an earlier run, never another kind of file.
bool make_link(const std::string& target, const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "rq5200-sim: %s exists and is not a link\n", path.c_str());
            return false;
        }
        ::unlink(path.c_str());
    }
    if (::symlink(target.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "rq5200-sim: %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

void log_bytes(const Options& o, const char* what, const std::vector<std::uint8_t>& bytes) {
    if (!o.verbose) {
        return;
    }
    std::fprintf(stderr, "rq5200-sim: %s", what);
    for (const std::uint8_t b : bytes) {
        std::fprintf(stderr, " %02X", b);
    }
    std::fputc('\n', stderr);
}

void write_all(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return; // nothing listens; the host flushes stale bytes anyway
        } else {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
}

// Everything the serving loop keeps between two looks at the line. A host session is one open of
// the port; opens and closes are seen through inotify on the pseudo-terminal's device, which
// misses none of them however quickly the host closes and opens again.
struct Line {
    int master = -1;
    int watch = -1;             // inotify descriptor
    int opens = 0;              // hosts that hold the port open now
    bool opens_unknown = false; // events were lost: the count is a guess
    Clock::time_point session_start{};
    bool session_spoke = false; // the host wrote something since it opened the port
    Clock::time_point last_presence{};
    rq5200::FrameParser parser;
};

void answer(const Options& o, Line& line, rq5200::BaseUnit& unit,
            const std::vector<std::uint8_t>& input) {
    for (const auto& command : line.parser.feed(input)) {
        log_bytes(o, "request", command);
        const auto reply = unit.on_request(command);
        if (!reply) {
            continue;
        }
        log_bytes(o, "reply", reply->first);
        write_all(line.master, reply->first);
        if (!reply->rest.empty()) {
            std::this_thread::sleep_for(kSplitPause);
            log_bytes(o, "reply rest", reply->rest);
            write_all(line.master, reply->rest);
        }
    }
}

// Opens and closes first, then the bytes: a byte that belongs to the session before is counted
// for the new one, which only holds a presence byte back; the other way round a presence byte
// could land in the reply a host is waiting for.
void take_events(Line& line) {
    alignas(inotify_event) char buffer[4096];
    ssize_t n;
    while ((n = ::read(line.watch, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            if (event->mask & IN_OPEN) {
                ++line.opens;
                line.session_start = Clock::now();
                line.session_spoke = false;
                line.parser.clear();
            } else if ((event->mask & IN_CLOSE) && line.opens > 0) {
                --line.opens;
            } else if (event->mask & IN_Q_OVERFLOW) {
                line.opens = 1; // the next hang-up tells when the host has gone
                line.opens_unknown = true;
            }
            p += sizeof(inotify_event) + event->len;
        }
    }
}

void take_input(const Options& o, Line& line, rq5200::BaseUnit& unit) {
    std::uint8_t buffer[256];
    ssize_t n;
    while ((n = ::read(line.master, buffer, sizeof buffer)) > 0) {
        line.session_spoke = true;
        answer(o, line, unit, std::vector<std::uint8_t>(buffer, buffer + n));
    }
}

// Milliseconds until the next presence byte is due, or -1 when none is. A base unit in the
// middle of a download sends none, whoever opens the port.
int presence_due(const Options& o, const Line& line, const rq5200::BaseUnit& unit) {
    if (line.opens == 0 || line.session_spoke || unit.downloading()) {
        return -1;
    }
    const auto due =
        std::max(line.session_start + kPresenceSettle, line.last_presence + o.presence);
    const auto left = std::chrono::ceil<milliseconds>(due - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

// Serves hosts until a signal arrives or, with --once, a download has completed. The presence
// byte goes out only to a host that has the port open and has sent nothing: a host waiting for
// a reply always wrote its request first.
int serve(const Options& o, Line& line, rq5200::BaseUnit& unit, int signals) {
    while (!(o.once && unit.completed_downloads() > 0)) {
        // Without a host the master reports a hang-up at once, so it is only watched with one.
        pollfd fds[3] = {{signals, POLLIN, 0},
                         {line.watch, POLLIN, 0},
                         {line.opens > 0 ? line.master : -1, POLLIN, 0}};
        if (::poll(fds, 3, presence_due(o, line, unit)) < 0 && errno != EINTR) {
            std::perror("rq5200-sim: poll");
            return kExitFailure;
        }
        if (fds[0].revents & POLLIN) {
            return kExitOk;
        }
        take_events(line);
        take_input(o, line, unit);
        if (line.opens_unknown && (fds[2].revents & POLLHUP)) {
            line.opens = 0;
            line.opens_unknown = false;
            std::this_thread::sleep_for(kNoHostBackoff);
        }
        // Decided on what has just been read: a request that waited while this process was not
        // running must not be answered by a presence byte.
        if (presence_due(o, line, unit) == 0) {
            write_all(line.master, {qm::kPresenceByte});
            line.last_presence = Clock::now();
        }
    }
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (const auto status = parse_options(argc, argv, o)) {
        return *status;
    }
    std::vector<std::uint8_t> image;
    if (!load_image(o, image)) {
        return kExitFailure;
    }
    // Signals arrive through a descriptor, so the serving loop ends between two exchanges.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGHUP);
    ::sigprocmask(SIG_BLOCK, &mask, nullptr);
    const int signals = ::signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    std::string slave;
    const int master = open_master(slave);
    if (signals < 0 || master < 0) {
        std::perror("rq5200-sim: pseudo-terminal");
        return kExitFailure;
    }
    // Opens are watched before the link appears, so not even the first host goes unseen.
    Line line;
    line.master = master;
    line.watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (line.watch < 0 || ::inotify_add_watch(line.watch, slave.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        std::perror("rq5200-sim: inotify");
        return kExitFailure;
    }
    if (!make_link(slave, o.link_path)) {
        return kExitFailure;
    }
    rq5200::BaseUnit unit(image, o.faults);
    if (!o.fault_file.empty()) {
        unit.set_fault_source([&o] { return read_fault_file(o.fault_file); });
    }
    std::fprintf(stderr, "rq5200-sim: base unit on %s (%s), %zu bytes in %zu packets\n",
                 o.link_path.c_str(), slave.c_str(), image.size(), unit.packet_count());
    const int status = serve(o, line, unit, signals);
    ::unlink(o.link_path.c_str());
    ::close(master);
    std::fprintf(stderr, "rq5200-sim: %i downloads completed\n", unit.completed_downloads());
    return status;
}
