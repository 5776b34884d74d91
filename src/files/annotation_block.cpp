#include "files/annotation_block.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <utility>

namespace qm {

namespace {

constexpr std::uint32_t kCrcPolynomial = 0xEDB88320u; // 0x04C11DB7, bits reversed

constexpr std::array<std::uint32_t, 256> make_crc_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1u) != 0 ? kCrcPolynomial ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = make_crc_table();

void put_le(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

void put_text(std::vector<std::uint8_t>& out, const std::string& text) {
    put_le(out, static_cast<std::uint32_t>(text.size()), 2);
    out.insert(out.end(), text.begin(), text.end());
}

// A bounds-checked little-endian reader: once a read runs past the end, every later read fails.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::optional<std::uint32_t> le(int width) {
        if (!has(static_cast<std::size_t>(width))) {
            return std::nullopt;
        }
        std::uint32_t v = 0;
        for (int i = width - 1; i >= 0; --i) {
            v = (v << 8) | bytes_[at_ + static_cast<std::size_t>(i)];
        }
        at_ += static_cast<std::size_t>(width);
        return v;
    }
    // A text of a 16-bit length of at most max_length.
    std::optional<std::string_view> text(std::size_t max_length) {
        const std::optional<std::uint32_t> length = le(2);
        if (!length || *length > max_length || !has(*length)) {
            return std::nullopt;
        }
        const auto* start = reinterpret_cast<const char*>(bytes_.data() + at_);
        at_ += *length;
        return std::string_view(start, *length);
    }
    std::size_t offset() const { return at_; }

private:
    bool has(std::size_t n) const { return bytes_.size() - at_ >= n; }

    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// The entries of a block whose magic has been seen; nothing when one is out of range.
std::optional<JobAnnotations> read_entries(Reader& in) {
    const std::optional<std::uint32_t> count = in.le(4);
    if (!count || *count > kMaxAnnotationEntries) {
        return std::nullopt;
    }
    JobAnnotations annotations;
    std::bitset<kMaxAnnotationEntries> seen;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::optional<std::uint32_t> kind = in.le(1);
        const std::optional<std::uint32_t> raw_job = in.le(4);
        if (!kind || *kind > 1 || !raw_job) {
            return std::nullopt;
        }
        const auto job = static_cast<std::int32_t>(*raw_job);
        if (job < 1 || job > kMaxJobs) {
            return std::nullopt;
        }
        const std::size_t slot = *kind * kMaxJobs + static_cast<std::size_t>(job - 1);
        if (seen.test(slot)) {
            return std::nullopt;
        }
        seen.set(slot);
        const std::optional<std::string_view> title = in.text(kMaxTitleLength);
        const std::optional<std::string_view> notes = in.text(kMaxNotesLength);
        // A control character in a title (or in notes, but for line breaks and tabs) is no
        // text a window or this program wrote: the block is damaged.
        if (!title || !notes || !title_text_clean(*title) || !notes_text_clean(*notes)) {
            return std::nullopt;
        }
        const auto record = static_cast<RecordKind>(*kind);
        annotations.set_title(record, job, *title);
        annotations.set_notes(record, job, *notes);
    }
    return annotations;
}

} // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (const std::uint8_t b : bytes) {
        c = kCrcTable[(c ^ b) & 0xFFu] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

std::vector<std::uint8_t> encode_annotation_block(const JobAnnotations& annotations,
                                                  std::span<const std::int32_t> jobs) {
    std::vector<std::uint8_t> out;
    std::vector<std::pair<RecordKind, std::int32_t>> entries;
    for (const std::int32_t job : jobs) {
        for (const RecordKind kind : {RecordKind::Mc, RecordKind::Rh}) {
            if (annotations.has_any(kind, job)) {
                entries.emplace_back(kind, job);
            }
        }
    }
    if (entries.empty()) {
        return out;
    }
    out.insert(out.end(), kAnnotationMagic.begin(), kAnnotationMagic.end());
    put_le(out, static_cast<std::uint32_t>(entries.size()), 4);
    for (const auto& [kind, job] : entries) {
        out.push_back(static_cast<std::uint8_t>(kind));
        put_le(out, static_cast<std::uint32_t>(job), 4);
        put_text(out, annotations.title(kind, job));
        put_text(out, annotations.notes(kind, job));
    }
    put_le(out, crc32(out), 4);
    return out;
}

DecodedAnnotations decode_annotation_block(std::span<const std::uint8_t> bytes) {
    DecodedAnnotations result;
    const std::size_t magic_size = kAnnotationMagic.size();
    if (bytes.size() < magic_size ||
        !std::equal(kAnnotationMagic.begin(), kAnnotationMagic.end(), bytes.begin())) {
        return result;
    }
    result.status = AnnotationBlockStatus::Damaged;
    Reader in(bytes.subspan(magic_size));
    std::optional<JobAnnotations> entries = read_entries(in);
    const std::size_t covered = magic_size + in.offset();
    const std::optional<std::uint32_t> crc = in.le(4);
    if (!entries || !crc || *crc != crc32(bytes.first(covered))) {
        return result;
    }
    result.status = AnnotationBlockStatus::Valid;
    result.annotations = std::move(*entries);
    result.size = covered + 4;
    return result;
}

} // namespace qm
