#include "archive/visit_loading.h"

#include "link/download_decoder.h"

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
    std::vector<std::uint8_t> bytes;
    VisitSource kind = VisitSource::Download;
    const std::optional<VisitSummary> visit = archive.find_visit(id);
    if (!visit || !archive.read_source(id, bytes, kind)) {
        result.error = "There is no visit " + std::to_string(id) + " in the archive.";
        return result;
    }
    result = decode_source(bytes, store, meter, records, selection);
    if (result.ok) {
        store.annotations.clear();
        for (const ArchivedJob& job : visit->jobs) {
            store.annotations.set_title(job.kind, job.number, job.title);
            store.annotations.set_notes(job.kind, job.number, job.notes);
        }
    }
    return result;
}

} // namespace qm
