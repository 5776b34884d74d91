#include "summaries/job_annotations.h"

#include <algorithm>
#include <cstring>

namespace qm {

namespace {

constexpr std::int32_t kManageRh = 0;
constexpr std::int32_t kManageMc = 1;

bool valid_record(std::int32_t management_type, int position) {
    return (management_type == kManageMc || management_type == kManageRh) && position >= 0 &&
           position < kJobRecordCount;
}

template <std::size_t N> void store_text(std::array<char, N>& field, std::string_view text) {
    const std::size_t length = std::min(text.size(), N - 1);
    field.fill('\0');
    std::memcpy(field.data(), text.data(), length);
}

template <std::size_t N> std::string stored_text(const std::array<char, N>& field) {
    return std::string(field.data(), strnlen(field.data(), N));
}

} // namespace

int annotation_position(const JobListLink& list) {
    const std::vector<int> selected = list.selected_positions();
    return selected.empty() ? 0 : selected.front();
}

bool annotation_allowed(const JobListLink& list) {
    return list.selected_positions().size() <= 1;
}

std::string job_notes(const JobRecords& records, std::int32_t management_type, int position) {
    if (!valid_record(management_type, position)) {
        return {};
    }
    return management_type == kManageMc ? stored_text(records.mc(position).notes)
                                        : stored_text(records.rh(position).notes);
}

bool store_job_notes(JobRecords& records, std::int32_t management_type, int position,
                     std::string_view notes) {
    if (!valid_record(management_type, position)) {
        return false;
    }
    if (management_type == kManageMc) {
        store_text(records.mc(position).notes, notes);
    } else {
        store_text(records.rh(position).notes, notes);
    }
    return true;
}

std::string job_title(const JobRecords& records, std::int32_t management_type, int position) {
    if (!valid_record(management_type, position)) {
        return {};
    }
    return management_type == kManageMc ? stored_text(records.mc(position).title)
                                        : stored_text(records.rh(position).title);
}

bool store_job_title(JobRecords& records, std::int32_t management_type, JobListLink& list,
                     std::string_view title) {
    const int position = annotation_position(list);
    if (!valid_record(management_type, position)) {
        return false;
    }
    const std::string_view stored = title.substr(0, std::min(title.size(), kMaxTitleLength));
    if (management_type == kManageMc) {
        store_text(records.mc(position).title, stored);
    } else {
        store_text(records.rh(position).title, stored);
    }
    list.replace_entry(position, stored);
    // The caption is the bare title, without the "ID#" that a selection change adds.
    list.set_job_caption(stored);
    return true;
}

} // namespace qm
