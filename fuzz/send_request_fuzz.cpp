// Answers requests with fuzzed replies: send_request always ends (the exchange bound holds), never
// reads past a reply, and leaves the receive buffer terminated.
#include "link/protocol.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Replies taken from the input: a length byte (mod 81) then that many bytes; an exhausted input
// answers with nothing.
class FuzzedTransport : public qm::SerialTransport {
public:
    FuzzedTransport(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    qm::TransferResult transfer(const std::string&, qm::TransferMode mode,
                                std::span<const std::uint8_t> request,
                                std::span<std::uint8_t> reply, const qm::LinkTiming&) override {
        ++calls;
        qm::TransferResult result;
        result.written = request.size();
        result.write_done = true;
        if (mode == qm::TransferMode::WriteOnly || at_ >= size_) {
            return result;
        }
        std::size_t n = data_[at_++] % 81;
        n = std::min<std::size_t>({n, size_ - at_, reply.size()});
        std::copy_n(data_ + at_, n, reply.begin());
        at_ += n;
        result.read = n;
        return result;
    }
    int calls = 0;

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

class FakeClock : public qm::LinkClock {
public:
    std::chrono::steady_clock::time_point now() override { return t_; }
    void sleep_for(std::chrono::milliseconds d) override { t_ += d; }

private:
    std::chrono::steady_clock::time_point t_{};
};

class SilentUi : public qm::UserInterface {
public:
    void message_box(std::string_view, std::string_view, qm::MessageIcon) override {}
    qm::PumpResult pump_messages(qm::PumpMode) override { return qm::PumpResult::Continue; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedTransport transport(data, size);
    FakeClock clock;
    qm::LinkTiming timing;
    qm::LinkContext context{transport, clock, timing};
    SilentUi ui;
    const std::uint8_t command =
        size > 0 && (data[0] & 1) ? qm::kCommandNextPacket : qm::kCommandFirstPacket;
    const qm::RequestReply reply = qm::send_request("/dev/fuzz", command, context, ui);
    if (transport.calls > 2 * timing.request_exchange_limit + 2 ||
        reply.exchange.bytes_received > qm::kMaxReplyBytes ||
        reply.exchange.buffer[qm::kReceiveBufferSize - 1] != 0) {
        std::abort();
    }
    return 0;
}
