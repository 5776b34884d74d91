#include "archive/visit_loading.h"

#include "archive/visit_input.h"
#include "link/download_decoder.h"
#include "store/job_index.h"

#include <cstdio>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace qm {

namespace {

// Keeps the text of a refused ".qmk" instead of showing it.
class MessageKeeper : public UserInterface {
public:
    void message_box(std::string_view text, std::string_view, MessageIcon) override {
        text_ = text;
    }
    PumpResult pump_messages(PumpMode) override { return PumpResult::Continue; }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

} // namespace

bool is_save_file(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kSaveMagicOffset + kSaveMagicSize) {
        return false;
    }
    const std::string_view magic(reinterpret_cast<const char*>(bytes.data()) + kSaveMagicOffset,
                                 kSaveMagic.size());
    return magic == kSaveMagic || magic == kOldSaveMagic;
}

DecodedSource decode_source(std::span<const std::uint8_t> bytes, ReadingStore& store,
                            MeterIdentity& meter, JobRecords& records, Selection& selection) {
    DecodedSource result;
    if (!is_save_file(bytes)) {
        decode_download(bytes, store, meter, records, selection);
        result.ok = true;
        // Where a file of the same data would take the wizard: its job list, or the data-kind
        // choice when it holds both kinds.
        RestoredSession& s = result.session;
        s.management_type = store.rh_job_count > 0 ? ManagedKind::Rh : ManagedKind::Mc;
        s.bothKinds = store.rh_job_count > 0 && store.mc_job_count > 0;
        s.step = s.bothKinds ? WizardStep::ManagementType : kSavedStep;
        return result;
    }
    result.kind = VisitSource::File;
    MessageKeeper messages;
    const LoadResult loaded = load_save(bytes, store, meter, messages);
    result.ok = loaded.accepted();
    result.error = messages.text();
    result.session = loaded.session;
    return result;
}

AddVisitResult archive_source(VisitArchive& archive, std::span<const std::uint8_t> bytes,
                              const ReceivedTime& received) {
    // Bytes too many to be a visit are not decoded at all.
    if (const Status input = check_visit_input({bytes, received}); !input) {
        AddVisitResult refused;
        refused.error = input.error();
        return refused;
    }
    auto store = std::make_unique<ReadingStore>();
    MeterIdentity meter;
    auto records = std::make_unique<JobRecords>();
    Selection selection;
    const DecodedSource decoded = decode_source(bytes, *store, meter, *records, selection);
    if (!decoded.ok) {
        AddVisitResult refused;
        refused.error = decoded.error;
        return refused;
    }
    return archive.add_visit(bytes, decoded.kind, received, *store, meter);
}

DecodedSource open_visit(VisitArchive& archive, std::int64_t id, ReadingStore& store,
                         MeterIdentity& meter, JobRecords& records, Selection& selection) {
    DecodedSource result;
    const Result<std::optional<VisitSummary>> visit = archive.find_visit(id);
    if (!visit || !*visit) {
        result.error =
            visit ? "There is no visit " + std::to_string(id) + " in the archive." : visit.error();
        return result;
    }
    const Status used =
        archive.use_source(id, [&](std::span<const std::uint8_t> bytes, VisitSource) {
            result = decode_source(bytes, store, meter, records, selection);
        });
    if (!used) {
        result.error = used.error();
        return result;
    }
    if (result.ok) {
        store.annotations.clear();
        for (const ArchivedJob& job : (*visit)->jobs) {
            store.annotations.set_title(job.kind, job.number, job.title);
            store.annotations.set_notes(job.kind, job.number, job.notes);
        }
    }
    return result;
}

VisitExport export_visit(VisitArchive& archive, std::int64_t id, const std::string& folder,
                         const std::function<bool(const std::string&)>& replace) {
    VisitExport result;
    auto store = std::make_unique<ReadingStore>();
    MeterIdentity meter;
    auto records = std::make_unique<JobRecords>();
    Selection opened_selection;
    const DecodedSource opened = open_visit(archive, id, *store, meter, *records, opened_selection);
    if (!opened.ok) {
        result.error = opened.error;
        return result;
    }
    for (std::int32_t job = 1; job <= kMaxJobs; ++job) {
        const int mc = position_in_list(store->mc_jobs, store->mc_job_count, job);
        const int rh = position_in_list(store->rh_jobs, store->rh_job_count, job);
        if (mc < 0 && rh < 0) {
            continue;
        }
        char name[64];
        std::snprintf(name, sizeof name, "Job%i-ID%.3i.qmk", job,
                      store->job_ids[static_cast<std::size_t>(job - 1)]);
        const std::string path = folder + "/" + name;
        if (::access(path.c_str(), F_OK) == 0 && !replace(path)) {
            continue;
        }
        // The state a save of this one job from its job list carries.
        WizardState wizard;
        wizard.step = kSavedStep;
        wizard.management_type = mc >= 0 ? ManagedKind::Mc : ManagedKind::Rh;
        Selection selection;
        selection.current_job_index = mc >= 0 ? mc : rh;
        selection.selected_jobs[0] = selection.current_job_index;
        selection.selected_count = 1;
        const SaveResult saved = write_save(path, wizard, selection, meter, *store);
        if (saved.ok) {
            result.written.push_back(path);
        } else {
            result.error = path + ": " + file_error_text(saved.error);
            return result;
        }
    }
    result.ok = true;
    return result;
}

} // namespace qm
