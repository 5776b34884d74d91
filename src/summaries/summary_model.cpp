#include "summaries/summary_model.h"

#include "store/job_index.h"

namespace qm {

namespace {

bool valid_position(const std::vector<int>& list, int position) {
    return position >= 0 && static_cast<std::size_t>(position) < list.size();
}

} // namespace

SummaryJob::SummaryJob(const ReadingStore& store, ManagedKind kind, std::int32_t job_index,
                       std::span<const Reading> job_readings)
    : readings_(job_readings.begin(), job_readings.end()), job_index_(job_index),
      job_(job_at_position(store, kind, job_index)), job_id_(job_id_of(store, job_)) {}

McSummaryModel::McSummaryModel(const ReadingStore& store, std::int32_t job_index,
                               std::span<const Reading> job_readings)
    : SummaryJob(store, ManagedKind::Mc, job_index, job_readings) {}

void McSummaryModel::open(const MaterialList& materials, std::int32_t international_date) {
    locations_ = locations_of(readings_, job_);
    if (!locations_.empty()) {
        location_ = locations_.front();
    }
    fill_sub_locations();
    recompute(materials, international_date);
}

void McSummaryModel::choose_location(int list_position, const MaterialList& materials,
                                     std::int32_t international_date) {
    if (!valid_position(locations_, list_position)) {
        return;
    }
    location_ = locations_[static_cast<std::size_t>(list_position)];
    fill_sub_locations();
    recompute(materials, international_date);
}

void McSummaryModel::choose_sub_location(int list_position, const MaterialList& materials,
                                         std::int32_t international_date) {
    if (!valid_position(sub_locations_, list_position)) {
        return;
    }
    sub_location_ = sub_locations_[static_cast<std::size_t>(list_position)];
    recompute(materials, international_date);
}

void McSummaryModel::fill_sub_locations() {
    sub_locations_ = sub_locations_of(readings_, job_, location_);
    if (!sub_locations_.empty()) {
        sub_location_ = sub_locations_.front();
    }
}

void McSummaryModel::recompute(const MaterialList& materials, std::int32_t international_date) {
    stats_ = compute_mc_statistics(group_readings(readings_, job_, location_, sub_location_),
                                   materials, international_date);
}

SummaryPage McSummaryModel::page(int width, int height, std::string_view model_name,
                                 std::string_view job_entry, std::string_view notes) const {
    const SummaryHeading heading{std::string(model_name), std::string(job_entry), job_id(),
                                 location_, sub_location_};
    return mc_summary_page(width, height, heading, stats_, notes);
}

RhSummaryModel::RhSummaryModel(const ReadingStore& store, std::int32_t job_index,
                               std::span<const Reading> job_readings)
    : SummaryJob(store, ManagedKind::Rh, job_index, job_readings) {}

void RhSummaryModel::open(std::int32_t celsius, std::int32_t international_date) {
    locations_ = locations_of(readings_, job_);
    if (!locations_.empty()) {
        location_ = locations_.front();
    }
    recompute(celsius, international_date);
}

void RhSummaryModel::choose_location(int list_position, std::int32_t celsius,
                                     std::int32_t international_date) {
    if (!valid_position(locations_, list_position)) {
        return;
    }
    location_ = locations_[static_cast<std::size_t>(list_position)];
    recompute(celsius, international_date);
}

void RhSummaryModel::recompute(std::int32_t celsius, std::int32_t international_date) {
    celsius_ = celsius;
    stats_ = compute_rh_statistics(group_readings(readings_, job_, location_), celsius,
                                   international_date);
}

SummaryPage RhSummaryModel::page(int width, int height, std::string_view model_name,
                                 std::string_view job_entry, std::string_view notes) const {
    const SummaryHeading heading{std::string(model_name), std::string(job_entry), job_id(),
                                 location_, 0};
    return rh_summary_page(width, height, heading, stats_, celsius_, notes);
}

} // namespace qm
