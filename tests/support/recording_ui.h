#pragma once

#include "store/user_interface.h"

#include <string>
#include <vector>

namespace qm::test {

// A UserInterface that records every message box and answers pumps from a script.
class RecordingUi : public UserInterface {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageIcon icon;
        bool operator==(const Message&) const = default;
    };

    void message_box(std::string_view text, std::string_view caption, MessageIcon icon) override {
        messages.push_back({std::string(text), std::string(caption), icon});
    }
    PumpResult pump_messages(PumpMode mode) override {
        pumps.push_back(mode);
        if (pump_results.empty()) {
            return PumpResult::Continue;
        }
        const PumpResult r = pump_results.front();
        pump_results.erase(pump_results.begin());
        return r;
    }

    std::vector<Message> messages;
    std::vector<PumpMode> pumps;
    std::vector<PumpResult> pump_results; // answers of the next pumps, then Continue
};

} // namespace qm::test
