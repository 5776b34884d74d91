// Feeds arbitrary bytes to the save-file loader: a refused file changes nothing; an accepted one
// lists only jobs 1..5, its working sets hold only readings every table can name, its CSV export
// stays inside every table, and the titles and notes of its notes block fit their fields and
// are written back as the same block.
#include "files/annotation_block.h"
#include "files/csv_export.h"
#include "files/save_file.h"
#include "state/app_state.h"
#include "store/job_index.h"

#include <cstdlib>
#include <cstring>

namespace {

class SilentUi : public qm::UserInterface {
public:
    void message_box(std::string_view, std::string_view, qm::MessageIcon) override {}
    qm::PumpResult pump_messages(qm::PumpMode) override { return qm::PumpResult::Continue; }
};

void check_listed_jobs(const qm::AppState& app) {
    const qm::ReadingStore& store = app.store;
    if (store.mc_job_count > qm::kMaxJobs || store.rh_job_count > qm::kMaxJobs) {
        std::abort();
    }
    for (const qm::ManagedKind kind : {qm::ManagedKind::Mc, qm::ManagedKind::Rh}) {
        const bool mc = kind == qm::ManagedKind::Mc;
        const std::int32_t count = mc ? store.mc_job_count : store.rh_job_count;
        for (std::int32_t position = 0; position < count; ++position) {
            const std::int32_t job = qm::job_at_position(store, kind, position);
            if (job < 1 || job > qm::kMaxJobs) {
                std::abort();
            }
            for (const qm::Reading& r : qm::readings_in_time_order(
                     store, job, mc ? qm::KindFilter::Mc : qm::KindFilter::Rh)) {
                if (!qm::in_tables(r)) {
                    std::abort();
                }
            }
            qm::export_csv(store, app.meter, job, 0, 0);
        }
    }
}

void check_annotations(const qm::AppState& app, const qm::LoadResult& result) {
    const qm::JobAnnotations& a = app.store.annotations;
    if (result.annotations != qm::AnnotationBlockStatus::Valid && !a.empty()) {
        std::abort();
    }
    std::vector<std::int32_t> jobs;
    for (std::int32_t job = 1; job <= qm::kMaxJobs; ++job) {
        for (const qm::RecordKind kind : {qm::RecordKind::Mc, qm::RecordKind::Rh}) {
            const std::string& title = a.title(kind, job);
            const std::string& notes = a.notes(kind, job);
            if (title.size() > qm::kMaxTitleLength || notes.size() > qm::kMaxNotesLength ||
                title.find('\0') != std::string::npos || notes.find('\0') != std::string::npos) {
                std::abort();
            }
        }
        jobs.push_back(job);
    }
    // What was read is written back as a block that reads the same.
    const std::vector<std::uint8_t> block = qm::encode_annotation_block(a, jobs);
    const qm::DecodedAnnotations again = qm::decode_annotation_block(block);
    if (a.empty() ? !block.empty() : again.annotations != a) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qm::AppState app;
    static SilentUi ui;
    const std::vector<qm::Reading> before = app.store.all_readings;
    const qm::LoadResult result = qm::load_save({data, size}, app.store, app.meter, ui);
    // Compared as bytes: a loaded file may hold NaN values, which never compare equal.
    const auto& after = app.store.all_readings;
    if (!result.accepted() &&
        (after.size() != before.size() ||
         (!after.empty() &&
          std::memcmp(after.data(), before.data(), after.size() * sizeof(qm::Reading)) != 0))) {
        std::abort();
    }
    check_listed_jobs(app);
    if (result.accepted()) {
        check_annotations(app, result);
    }
    return 0;
}
