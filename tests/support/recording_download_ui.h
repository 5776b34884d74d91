#pragma once

#include "link/download_procedure.h"
#include "support/recording_ui.h"

#include <string>
#include <vector>

namespace qm::test {

// A DownloadUi that records every call in order (message boxes also in `boxes.messages`) and
// answers pumps from `boxes.pump_results`, or with Cancel once `cancel_at_packet` packets have
// arrived.
class RecordingDownloadUi : public DownloadUi {
public:
    void message_box(std::string_view text, std::string_view caption, MessageIcon icon) override {
        events.push_back("box " + std::string(text));
        boxes.message_box(text, caption, icon);
    }
    PumpResult pump_messages(PumpMode mode) override {
        const PumpResult scripted = boxes.pump_messages(mode);
        if (cancel_at_packet > 0 && progress.size() >= cancel_at_packet) {
            return PumpResult::Cancel;
        }
        return scripted;
    }
    bool create_wait_dialog() override {
        events.emplace_back("create");
        return create_succeeds;
    }
    void show_wait_dialog() override { events.emplace_back("show"); }
    void end_wait_dialog() override { events.emplace_back("end"); }
    void set_lamp_state(LampState state) override { lamps.push_back(state); }
    void set_progress(std::size_t packets, std::size_t bytes) override {
        progress.emplace_back(packets, bytes);
    }
    void set_status(std::string_view text) override { statuses.emplace_back(text); }
    void wait_dialog_message_box(std::string_view text, std::string_view caption,
                                 MessageIcon icon) override {
        events.push_back("wait box " + std::string(text));
        boxes.message_box(text, caption, icon);
    }
    void post_quit() override { events.emplace_back("post quit"); }

    RecordingUi boxes;
    std::vector<std::string> events;
    std::vector<LampState> lamps;
    std::vector<std::pair<std::size_t, std::size_t>> progress;
    std::vector<std::string> statuses;
    bool create_succeeds = true;
    std::size_t cancel_at_packet = 0;
};

} // namespace qm::test
