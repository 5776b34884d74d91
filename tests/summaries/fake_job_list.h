#pragma once

#include "summaries/job_annotations.h"

#include <set>
#include <string>
#include <vector>

namespace qm::test {

// A job list and side panel caption held in memory.
class FakeJobList : public JobListLink {
public:
    std::vector<std::string> entries;
    std::set<int> selected;
    std::string caption = "Job ---";

    std::vector<int> selected_positions() const override {
        return {selected.begin(), selected.end()};
    }
    std::optional<std::string> entry_text(int position) const override {
        if (position < 0 || position >= static_cast<int>(entries.size())) {
            return std::nullopt;
        }
        return entries[static_cast<std::size_t>(position)];
    }
    void replace_entry(int position, std::string_view text) override {
        if (position >= 0 && position < static_cast<int>(entries.size())) {
            entries[static_cast<std::size_t>(position)] = std::string(text);
            selected.insert(position);
        }
    }
    std::string job_caption() const override { return caption; }
    void set_job_caption(std::string_view text) override { caption = std::string(text); }
};

} // namespace qm::test
