#pragma once

#include "link/serial_port.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qm::test {

// A clock that only moves when told: sleeps advance it and are recorded.
class FakeClock : public LinkClock {
public:
    std::chrono::steady_clock::time_point now() override { return time; }
    void sleep_for(std::chrono::milliseconds duration) override {
        sleeps.push_back(duration);
        time += duration;
    }

    std::chrono::steady_clock::time_point time{};
    std::vector<std::chrono::milliseconds> sleeps;
};

// A scripted set of serial devices. Every listen and write-then-read exchange on a device takes
// the next step of that device's script (then its fallback); write-only exchanges read nothing
// and take no step. Devices without a script do not exist.
class FakeSerialPort : public SerialTransport {
public:
    struct Step {
        std::vector<std::uint8_t> reply;
        PortStatus status = PortStatus::Ok;
        int error = 0;
    };
    struct Device {
        std::deque<Step> steps;
        Step fallback; // once the steps are used up; an empty reply unless set
    };
    struct Exchange {
        std::string device;
        TransferMode mode;
        std::vector<std::uint8_t> request;
    };

    TransferResult transfer(const std::string& device, TransferMode mode,
                            std::span<const std::uint8_t> request, std::span<std::uint8_t> reply,
                            const LinkTiming& /*timing*/) override {
        TransferResult result;
        const auto it = devices.find(device);
        if (it == devices.end()) {
            result.status = PortStatus::NoSuchPort;
            return result;
        }
        if (clock != nullptr) {
            clock->time += time_per_exchange;
        }
        if (on_transfer) {
            on_transfer(device);
        }
        exchanges.push_back({device, mode, {request.begin(), request.end()}});
        Step step = it->second.fallback;
        if (mode != TransferMode::WriteOnly && !it->second.steps.empty()) {
            step = it->second.steps.front();
            it->second.steps.pop_front();
        }
        result.status = step.status;
        result.error = step.error;
        if (step.status != PortStatus::Ok) {
            return result;
        }
        if (mode != TransferMode::Listen) {
            result.written = request.size();
            result.write_done = true;
        }
        if (mode != TransferMode::WriteOnly) {
            const std::size_t room = mode == TransferMode::Listen
                                         ? std::min<std::size_t>(1, reply.size())
                                         : reply.size();
            result.read = std::min(room, step.reply.size());
            std::copy_n(step.reply.begin(), result.read, reply.begin());
        }
        return result;
    }

    // The requests written to a device, in order.
    std::vector<std::vector<std::uint8_t>> requests_to(const std::string& device) const {
        std::vector<std::vector<std::uint8_t>> out;
        for (const Exchange& e : exchanges) {
            if (e.device == device && e.mode != TransferMode::Listen) {
                out.push_back(e.request);
            }
        }
        return out;
    }

    std::map<std::string, Device> devices;
    std::vector<Exchange> exchanges;
    FakeClock* clock = nullptr;
    std::chrono::milliseconds time_per_exchange{0};
    std::function<void(const std::string& device)> on_transfer; // called at every exchange
};

} // namespace qm::test
