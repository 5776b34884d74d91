#include "store/annotations.h"

#include <algorithm>

namespace qm {

namespace {

const std::string kNoText;

std::string_view up_to_nul(std::string_view text) {
    return text.substr(0, std::min(text.find('\0'), text.size()));
}

bool is_control(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
}

std::string crlf_notes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += is_control(text[i]) && text[i] != '\t' ? ' ' : text[i];
        }
    }
    return out;
}

} // namespace

std::string_view record_kind_name(RecordKind kind) {
    return kind == RecordKind::Mc ? "mc" : "rh";
}

std::optional<RecordKind> parse_record_kind(std::string_view name) {
    return name == "mc"   ? std::optional(RecordKind::Mc)
           : name == "rh" ? std::optional(RecordKind::Rh)
                          : std::nullopt;
}

std::optional<RecordKind> record_kind(ManagedKind kind) {
    switch (kind) {
    case ManagedKind::Rh:
        return RecordKind::Rh;
    case ManagedKind::Mc:
        return RecordKind::Mc;
    default:
        return std::nullopt;
    }
}

std::optional<std::size_t> JobAnnotations::index_of(RecordKind kind, std::int32_t job) {
    if (job < 1 || job > kMaxJobs) {
        return std::nullopt;
    }
    const std::size_t row = kind == RecordKind::Mc ? kMaxJobs : 0;
    return row + static_cast<std::size_t>(job - 1);
}

const std::string& JobAnnotations::title(RecordKind kind, std::int32_t job) const {
    const auto i = index_of(kind, job);
    return i ? texts_[*i].title : kNoText;
}

const std::string& JobAnnotations::notes(RecordKind kind, std::int32_t job) const {
    const auto i = index_of(kind, job);
    return i ? texts_[*i].notes : kNoText;
}

bool JobAnnotations::set_title(RecordKind kind, std::int32_t job, std::string_view text) {
    const auto i = index_of(kind, job);
    if (!i) {
        return false;
    }
    const std::string_view kept = up_to_nul(text);
    std::string& title = texts_[*i].title;
    title.assign(kept.substr(0, std::min(kept.size(), kMaxTitleLength)));
    std::replace_if(title.begin(), title.end(), is_control, ' ');
    return true;
}

bool JobAnnotations::set_notes(RecordKind kind, std::int32_t job, std::string_view text) {
    const auto i = index_of(kind, job);
    if (!i) {
        return false;
    }
    texts_[*i].notes = stored_notes(text);
    return true;
}

bool JobAnnotations::has_any(RecordKind kind, std::int32_t job) const {
    return !title(kind, job).empty() || !notes(kind, job).empty();
}

bool JobAnnotations::empty() const {
    return std::all_of(texts_.begin(), texts_.end(),
                       [](const Texts& t) { return t.title.empty() && t.notes.empty(); });
}

void JobAnnotations::clear() {
    texts_ = {};
}

bool title_text_clean(std::string_view text) {
    return std::none_of(text.begin(), text.end(), is_control);
}

bool notes_text_clean(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        return is_control(c) && c != '\r' && c != '\n' && c != '\t';
    });
}

std::string notes_with_newlines(std::string_view notes) {
    std::string out;
    out.reserve(notes.size());
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (notes[i] == '\r') {
            out += '\n';
            if (i + 1 < notes.size() && notes[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += notes[i];
        }
    }
    return out;
}

std::string stored_notes(std::string_view text) {
    std::string notes = crlf_notes(up_to_nul(text));
    if (notes.size() > kMaxNotesLength) {
        notes.resize(kMaxNotesLength);
        // A line break is kept whole or not at all.
        if (notes.back() == '\r') {
            notes.pop_back();
        }
    }
    return notes;
}

std::size_t stored_notes_length(std::string_view notes) {
    return crlf_notes(notes).size();
}

} // namespace qm
