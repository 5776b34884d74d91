#include "projects/project_file.h"

#include "text/text_format.h"

#include "archive/sha256.h"
#include "archive/visit_loading.h"
#include "projects/drying_days.h"
#include "projects/project_texts.h"

#include <charconv>
#include <cmath>
#include <map>

namespace qm {

namespace {

using Fields = std::vector<std::string>;

class FileWriter {
public:
    void line(std::initializer_list<std::string_view> fields) {
        bool first = true;
        for (const std::string_view f : fields) {
            if (!first) {
                out.push_back('\t');
            }
            first = false;
            for (const char c : f) {
                const char* escape = c == '\\'   ? "\\\\"
                                     : c == '\t' ? "\\t"
                                     : c == '\n' ? "\\n"
                                     : c == '\r' ? "\\r"
                                                 : nullptr;
                if (escape != nullptr) {
                    out.insert(out.end(), escape, escape + 2);
                } else {
                    out.push_back(static_cast<std::uint8_t>(c));
                }
            }
        }
        out.push_back('\n');
    }
    std::vector<std::uint8_t> out;
};

std::string number(double value) {
    return number_text(value);
}

std::string number(std::int64_t value) {
    return std::to_string(value);
}

template <typename T> std::string optional_text(const std::optional<T>& value) {
    return value ? number(static_cast<
                          std::conditional_t<std::is_floating_point_v<T>, double, std::int64_t>>(
                       *value))
                 : std::string();
}

std::string date_text(std::optional<std::int64_t> day) {
    return day ? iso_date(*day) : std::string();
}

std::string reference_text(const DryStandard& s) {
    return s.reference ? point_text(*s.reference) : std::string();
}

void write_settings(FileWriter& w, const ProjectSettings& s) {
    for (const PointNote& n : s.points) {
        w.line({"point", point_text(n.point), n.label,
                n.role ? air_role_name(*n.role) : std::string_view()});
    }
    for (const MaterialStandard& m : s.materials) {
        w.line({"material", scale_name(m.scale), m.material, optional_text(m.standard.value),
                reference_text(m.standard), number(m.tolerance)});
    }
    for (const PointStandard& p : s.point_standards) {
        w.line({"standard", point_text(p.point), optional_text(p.standard.value),
                reference_text(p.standard), optional_text(p.tolerance)});
    }
    for (const StoredEquipment& e : s.equipment) {
        w.line({"equipment", equipment_type_name(e.entry.type), number(std::int64_t{e.entry.count}),
                e.entry.place, iso_date(e.entry.placed), date_text(e.entry.removed)});
    }
    for (const auto& [code, name] : s.legend_overrides) {
        w.line({"legend", code, name});
    }
}

} // namespace

std::vector<std::uint8_t> encode_project_file(const ProjectPackage& package) {
    FileWriter w;
    w.line({kProjectFileMagic, number(std::int64_t{kProjectFileVersion})});
    const ProjectDetails& d = package.record.details;
    w.line({"project", d.name, d.client, d.site, d.claim, date_text(d.loss_date),
            optional_text(d.category), optional_text(d.water_class), d.notes});
    for (const PackagedVisit& v : package.visits) {
        w.line({"visit", visit_source_name(v.source), number(v.received.utc_seconds),
                number(std::int64_t{v.received.offset_seconds}), sha256_hex(v.bytes),
                number(static_cast<std::int64_t>(v.bytes.size()))});
        w.out.insert(w.out.end(), v.bytes.begin(), v.bytes.end());
        w.out.push_back('\n');
    }
    for (std::size_t i = 0; i < package.visits.size(); ++i) {
        for (const ArchivedJob& j : package.visits[i].jobs) {
            w.line({"title", number(static_cast<std::int64_t>(i)), record_kind_name(j.kind),
                    number(std::int64_t{j.number}), j.title, j.notes});
        }
    }
    for (const JobRef& j : package.record.jobs) {
        w.line(
            {"job", number(j.visit_id), record_kind_name(j.kind), number(std::int64_t{j.number})});
    }
    write_settings(w, package.record.settings);
    w.line({"end"});
    return std::move(w.out);
}

namespace {

class FileReader {
public:
    explicit FileReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    // The fields of the next line; false at the end of the bytes or on a damaged line.
    bool next(Fields& fields) {
        fields.assign(1, std::string());
        ++line_;
        while (pos_ < bytes_.size()) {
            const char c = static_cast<char>(bytes_[pos_++]);
            if (c == '\n') {
                return true;
            }
            if (c == '\t') {
                fields.emplace_back();
            } else if (c != '\\') {
                fields.back().push_back(c);
            } else if (pos_ < bytes_.size() && unescape(static_cast<char>(bytes_[pos_]))) {
                fields.back().push_back(unescape(static_cast<char>(bytes_[pos_++])));
            } else {
                return fail("an unknown escape");
            }
        }
        return fail("the file is cut short");
    }
    bool take(std::size_t length, std::vector<std::uint8_t>& out) {
        if (bytes_.size() - pos_ < length + 1 || bytes_[pos_ + length] != '\n') {
            return fail("the file is cut short");
        }
        out.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_),
                   bytes_.begin() + static_cast<std::ptrdiff_t>(pos_ + length));
        pos_ += length + 1;
        return true;
    }
    bool at_end() const { return pos_ == bytes_.size(); }
    bool fail(const std::string& what) {
        if (error.empty()) {
            error = "damaged at line " + std::to_string(line_) + ": " + what;
        }
        return false;
    }
    std::string error;

private:
    static char unescape(char c) {
        return c == '\\' ? '\\' : c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : '\0';
    }
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    int line_ = 0;
};

// The parts of one record; every check that fails names the record.
struct RecordParser {
    FileReader& reader;
    ProjectPackage& package;
    bool ok = true;

    template <typename T> T need(std::optional<T> value, const char* what) {
        if (!value) {
            ok = reader.fail(std::string("not ") + what);
            return T{};
        }
        return *value;
    }
    // An optional field: empty is none, anything else must parse.
    template <typename T, typename Parse>
    std::optional<T> maybe(const std::string& text, Parse parse, const char* what) {
        if (text.empty()) {
            return std::nullopt;
        }
        return need(std::optional<T>(parse(text)), what);
    }
    std::optional<RecordKind> kind(const std::string& text) { return parse_record_kind(text); }
    std::size_t visit_index(const std::string& text) {
        return static_cast<std::size_t>(
            need(parse_integer(text, 0, static_cast<std::int64_t>(package.visits.size()) - 1),
                 "a visit"));
    }
    DryStandard standard(const std::string& value, const std::string& reference) {
        return {maybe<double>(value, parse_real, "a value"),
                maybe<MonitoringPoint>(reference, parse_point, "a point")};
    }
    std::optional<std::int64_t> day(const std::string& text) {
        return maybe<std::int64_t>(text, parse_iso_date, "a date");
    }

    void project(const Fields& f) {
        ProjectDetails& d = package.record.details;
        d = {f[1], f[2], f[3], f[4], day(f[5]), std::nullopt, std::nullopt, f[8]};
        const auto category = maybe<std::int64_t>(
            f[6], [](const std::string& t) { return parse_integer(t, 1, 3); }, "a category");
        const auto water_class = maybe<std::int64_t>(
            f[7], [](const std::string& t) { return parse_integer(t, 1, 4); }, "a class");
        d.category = category ? std::optional<int>(static_cast<int>(*category)) : std::nullopt;
        d.water_class =
            water_class ? std::optional<int>(static_cast<int>(*water_class)) : std::nullopt;
    }
    void visit(const Fields& f) {
        PackagedVisit v;
        v.source = f[1] == "file" ? VisitSource::File : VisitSource::Download;
        v.received.utc_seconds = need(parse_integer(f[2], INT64_MIN, INT64_MAX), "a time");
        v.received.offset_seconds =
            static_cast<std::int32_t>(need(parse_integer(f[3], -86400, 86400), "an offset"));
        const auto length = parse_integer(f[5], 0, static_cast<std::int64_t>(kMaxProjectFileBytes));
        if (!ok || !length || (f[1] != "file" && f[1] != "download")) {
            ok = reader.fail("not a visit");
            return;
        }
        ok = reader.take(static_cast<std::size_t>(*length), v.bytes);
        if (ok && sha256_hex(v.bytes) != f[4]) {
            ok = reader.fail("a visit's bytes do not match their SHA-256");
        }
        package.visits.push_back(std::move(v));
    }
    void title(const Fields& f) {
        const std::size_t v = visit_index(f[1]);
        const RecordKind k = need(kind(f[2]), "a kind");
        const auto n = static_cast<std::int32_t>(need(parse_integer(f[3], 1, kMaxJobs), "a job"));
        if (ok) {
            package.visits[v].jobs.push_back({k, n, 0, 0, f[4], f[5]});
        }
    }
    void job(const Fields& f) {
        const std::size_t v = visit_index(f[1]);
        package.record.jobs.push_back(
            {static_cast<std::int64_t>(v), need(kind(f[2]), "a kind"),
             static_cast<std::int32_t>(need(parse_integer(f[3], 1, kMaxJobs), "a job"))});
    }
    void point(const Fields& f) {
        const std::optional<AirRole> role = maybe<AirRole>(
            f[3], [](const std::string& t) { return parse_air_role(t); }, "a role");
        package.record.settings.points.push_back({need(parse_point(f[1]), "a point"), f[2], role});
    }
    void material(const Fields& f) {
        const PointScale scale = need(parse_scale(f[1]), "a scale");
        package.record.settings.materials.push_back(
            {f[2], scale, standard(f[3], f[4]), need(parse_real(f[5]), "a tolerance")});
    }
    void point_standard(const Fields& f) {
        package.record.settings.point_standards.push_back(
            {need(parse_point(f[1]), "a point"), standard(f[2], f[3]),
             maybe<double>(f[4], parse_real, "a tolerance")});
    }
    void equipment(const Fields& f) {
        const EquipmentType type = need(parse_equipment_type(f[1]), "an equipment type");
        const auto count = static_cast<int>(need(parse_integer(f[2], 0, 1000000), "a count"));
        const std::int64_t placed = need(parse_iso_date(f[4]), "a date");
        package.record.settings.equipment.push_back({0, {type, count, f[3], placed, day(f[5])}});
    }
};

// The number of fields of each record.
const std::map<std::string, std::size_t, std::less<>> kRecordFields = {
    {"visit", 6},    {"title", 6},    {"job", 4},       {"point", 4},
    {"material", 6}, {"standard", 5}, {"equipment", 6}, {"legend", 3}};

} // namespace

bool decode_project_file(std::span<const std::uint8_t> bytes, ProjectPackage& package,
                         std::string& error) {
    package = {};
    FileReader reader(bytes);
    Fields f;
    if (!reader.next(f) || f.size() != 2 || f[0] != kProjectFileMagic) {
        error = "not a Quellmark project file";
        return false;
    }
    if (f[1] != std::to_string(kProjectFileVersion)) {
        error = "a project file of version " + f[1] + ", which this version of Quellmark " +
                "does not read (it reads version " + std::to_string(kProjectFileVersion) + ")";
        return false;
    }
    RecordParser parse{reader, package};
    if (reader.next(f) && (f.size() != 9 || f[0] != "project")) {
        reader.fail("no project");
    } else if (reader.error.empty()) {
        parse.project(f);
    }
    while (parse.ok && reader.error.empty() && reader.next(f) && f[0] != "end") {
        const auto fields = kRecordFields.find(f[0]);
        if (fields == kRecordFields.end() || fields->second != f.size()) {
            reader.fail("an unknown record");
        } else if (f[0] == "visit") {
            parse.visit(f);
        } else if (f[0] == "title") {
            parse.title(f);
        } else if (f[0] == "job") {
            parse.job(f);
        } else if (f[0] == "point") {
            parse.point(f);
        } else if (f[0] == "material") {
            parse.material(f);
        } else if (f[0] == "standard") {
            parse.point_standard(f);
        } else if (f[0] == "equipment") {
            parse.equipment(f);
        } else {
            package.record.settings.legend_overrides[f[1]] = f[2];
        }
    }
    if (reader.error.empty() && (f.size() != 1 || !reader.at_end())) {
        reader.fail("bytes after the end");
    }
    error = reader.error;
    return error.empty();
}

bool package_project(ProjectStore& store, VisitArchive& archive, std::int64_t project,
                     ProjectPackage& package, std::string& error) {
    package = {};
    const std::optional<ProjectSummary> summary = store.get(project);
    if (!summary) {
        error = "there is no such project";
        return false;
    }
    package.record.details = summary->details;
    Result<ProjectSettings> settings = store.settings(project);
    const Result<std::vector<ProjectJob>> jobs = store.jobs(project);
    if (!settings || !jobs) {
        error = !settings ? settings.error() : jobs.error();
        return false;
    }
    package.record.settings = std::move(*settings);
    std::map<std::int64_t, std::int64_t> index_of; // visit id to its place in the file
    for (const ProjectJob& j : *jobs) {
        auto [it, added] =
            index_of.try_emplace(j.job.visit_id, static_cast<std::int64_t>(package.visits.size()));
        if (added) {
            PackagedVisit v;
            const Result<std::optional<VisitSummary>> visit = archive.find_visit(j.job.visit_id);
            const Status read = !visit    ? Status(failure(visit.error()))
                                : !*visit ? Status(failure("there is no such visit"))
                                          : archive.read_source(j.job.visit_id, v.bytes, v.source);
            if (!read) {
                error = "the source of visit " + std::to_string(j.job.visit_id) +
                        " cannot be read: " + read.error();
                return false;
            }
            v.received = (*visit)->received;
            v.jobs = (*visit)->jobs;
            package.visits.push_back(std::move(v));
        }
        package.record.jobs.push_back({it->second, j.job.kind, j.job.number});
    }
    return true;
}

namespace {

// Keeps visit `index` (from 0) of a project file in the archive, with its titles and notes when it
// is new there; a visit the archive holds keeps its own. Its id, or nothing with the reason.
std::optional<std::int64_t> add_packaged_visit(VisitArchive& archive, const PackagedVisit& v,
                                               std::size_t index, std::string& error) {
    const std::string which = "visit " + std::to_string(index + 1) + " of the file";
    const AddVisitResult added = archive_source(archive, v.bytes, v.received);
    if (added.status == AddVisitResult::Status::Failed) {
        error = which + " cannot be added to the archive: " + added.error;
        return std::nullopt;
    }
    for (const ArchivedJob& j : v.jobs) {
        if (added.status != AddVisitResult::Status::Added ||
            archive.set_annotations(added.visit_id, j.kind, j.number, j.title, j.notes)) {
            continue;
        }
        error = archive.error().empty()
                    ? which + " holds no " + (j.kind == RecordKind::Mc ? "MC" : "RH/T") + " job " +
                          std::to_string(j.number) +
                          ", which the file gives a title: the file is damaged"
                    : "the titles of " + which + " cannot be written: " + archive.error();
        return std::nullopt;
    }
    return added.visit_id;
}

} // namespace

std::optional<std::int64_t> import_project(ProjectStore& store, VisitArchive& archive,
                                           const ProjectPackage& package, const std::string& name,
                                           std::string& error) {
    ProjectRecord record = package.record;
    if (!name.empty()) {
        record.details.name = name;
    }
    if (record.details.name.find_first_not_of(" \t\r\n") == std::string::npos) {
        error = "the project has no name; import it under a name (--name NAME)";
        return std::nullopt;
    }
    const Result<std::optional<ProjectSummary>> same = store.find(record.details.name);
    if (!same || *same) {
        error = !same ? same.error()
                      : "the archive already has a project named \"" + record.details.name +
                            "\"; import it under another name (--name NAME)";
        return std::nullopt;
    }
    // One transaction: a visit that cannot be kept, or a project that cannot be written, leaves
    // the archive as it was.
    ArchiveTransaction transaction(archive);
    if (!transaction.begun()) {
        error = "the archive cannot be written: " + archive.error();
        return std::nullopt;
    }
    std::vector<std::int64_t> ids;
    for (std::size_t i = 0; i < package.visits.size(); ++i) {
        const std::optional<std::int64_t> id =
            add_packaged_visit(archive, package.visits[i], i, error);
        if (!id) {
            return std::nullopt;
        }
        ids.push_back(*id);
    }
    for (JobRef& j : record.jobs) {
        j.visit_id = ids[static_cast<std::size_t>(j.visit_id)];
    }
    const std::optional<std::int64_t> id = store.restore(record);
    if (!id) {
        error = store.error();
        return std::nullopt;
    }
    if (!transaction.commit()) {
        error = "the archive cannot be written: " + archive.error();
        return std::nullopt;
    }
    return id;
}

} // namespace qm
