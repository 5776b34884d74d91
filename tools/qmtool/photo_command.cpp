// `qmtool project photo`: photos attached to a project, their bytes kept beside the archive.
#include "archive/sha256.h"
#include "files/regular_file.h"
#include "photos/project_photos.h"
#include "projects/drying_days.h"
#include "projects/project_log.h"
#include "projects/project_texts.h"
#include "text/text_format.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/project_command.h"
#include "tools/qmtool/text_codec.h"

#include <cctype>
#include <cstdio>
#include <set>

namespace qmtool {

namespace {

// The point, day and caption options of `photo add`; false with the usage error's message.
bool read_place(const Arguments& args, qm::PhotoPlace& place, std::string& error) {
    if (const std::string* point = args.value("--point")) {
        const auto p = point_argument(*point);
        if (!p) {
            error = "not a point: " + *point;
            return false;
        }
        place.point = qm::point_text(*p);
    }
    if (const std::string* day = args.value("--day")) {
        const auto d = qm::parse_iso_date(*day);
        if (!d) {
            error = "--day is a date YYYY-MM-DD: " + *day;
            return false;
        }
        place.day = qm::iso_date(*d);
    }
    if (const std::string* caption = args.value("--caption")) {
        place.caption = *caption;
    }
    return true;
}

// Whether a file's name ends as a photo's does: .jpg, .jpeg, .png, .heic or .heif, in any case.
bool named_as_photo(const std::string& path) {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') {
        return false;
    }
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext == "jpg" || ext == "jpeg" || ext == "png" || ext == "heic" || ext == "heif";
}

// The days on which the project's attached jobs hold readings.
// (The session's logs are read.)
std::set<std::int64_t> reading_days(const ProjectSession& s) {
    std::set<std::int64_t> days;
    for (const std::vector<qm::Reading>& job : s.readings.readings) {
        for (const qm::Reading& r : job) {
            days.insert(qm::reading_day(r));
        }
    }
    return days;
}

// Attaches each file; one that is no photo or cannot be read is said and the others go on.
int add_files(ProjectSession& s, qm::ProjectPhotos& photos, const std::vector<std::string>& files,
              const qm::PhotoPlace& place) {
    int status = kExitOk;
    for (const std::string& path : files) {
        const qm::Result<qm::PhotoBytes> read = qm::read_photo_file(path);
        const qm::Result<qm::PhotoAttached> attached =
            read ? photos.attach(s.project, *read, place)
                 : qm::Result<qm::PhotoAttached>(qm::failure(read.error()));
        if (!attached) {
            status = failure(attached.error());
        } else if (*attached == qm::PhotoAttached::AlreadyAttached) {
            std::printf("%s: attached already (%s)\n", path.c_str(),
                        qm::short_sha256(read->sha256).c_str());
        } else {
            std::printf("%s: attached (%s)\n", path.c_str(),
                        qm::short_sha256(read->sha256).c_str());
        }
    }
    return status;
}

// Attaches the photos of a folder taken on a day the project has readings of, each with that
// day; other files and photos of other days are counted, damaged photos said.
int add_folder(ProjectSession& s, qm::ProjectPhotos& photos, const std::string& folder,
               qm::PhotoPlace place) {
    const qm::Result<std::vector<std::string>> files = qm::files_in_folder(folder);
    if (!files) {
        return failure(files.error());
    }
    if (!s.read_logs(false)) {
        return kExitFailure;
    }
    const std::set<std::int64_t> days = reading_days(s);
    int status = kExitOk;
    int attached = 0;
    int other_days = 0;
    int untimed = 0;
    int others = 0;
    for (const std::string& path : *files) {
        if (!named_as_photo(path)) {
            ++others; // a video or a note is not read at all
            continue;
        }
        const qm::Result<qm::PhotoBytes> read = qm::read_photo_file(path);
        const qm::Result<qm::PhotoFacts> facts =
            read ? qm::read_photo_facts(read->bytes) : qm::Result<qm::PhotoFacts>(qm::PhotoFacts{});
        if (!read || facts.damaged()) {
            status = failure(read ? path + " is " + facts.error() : read.error());
            continue;
        }
        if (!facts) {
            ++others;
            continue;
        }
        const auto day =
            facts->taken_at ? qm::parse_iso_date(facts->taken_at->substr(0, 10)) : std::nullopt;
        if (!day || !days.contains(*day)) {
            ++(day ? other_days : untimed);
            continue;
        }
        place.day = qm::iso_date(*day);
        const qm::Result<qm::PhotoAttached> a = photos.attach(s.project, *read, *facts, place);
        if (!a) {
            status = failure(a.error());
        } else if (*a == qm::PhotoAttached::Attached) {
            ++attached;
        }
    }
    std::printf("%d photos attached; left out: %d taken on other days, %d without the time they "
                "were taken, %d files that are no photos\n",
                attached, other_days, untimed, others);
    return status;
}

int run_add(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("photo add", argc, argv, {},
                          {"--point", "--day", "--caption", "--folder"}, 1, SIZE_MAX, args,
                          status)) {
        return status;
    }
    const std::string* folder = args.value("--folder");
    if (folder != nullptr && (args.positional.size() > 1 || args.value("--day") != nullptr)) {
        return usage_error("photo add: --folder takes neither files nor --day");
    }
    if (folder == nullptr && args.positional.size() < 2) {
        return usage_error("photo add: which photos?");
    }
    qm::PhotoPlace place;
    std::string error;
    if (!read_place(args, place, error)) {
        return usage_error("photo add: " + error);
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    qm::ProjectPhotos photos(*s.archive);
    if (folder != nullptr) {
        return add_folder(s, photos, *folder, place);
    }
    return add_files(s, photos, {args.positional.begin() + 1, args.positional.end()}, place);
}

std::string json_or_null(const std::optional<std::string>& text) {
    return text ? json_string(*text) : "null";
}

int run_list(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("photo list", argc, argv, {"--json"}, {}, 1, 1, args, status)) {
        return status;
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    const qm::Result<std::vector<qm::ProjectPhoto>> photos =
        qm::ProjectPhotos(*s.archive).list(s.project);
    if (!photos) {
        return failure(photos.error());
    }
    const bool json = args.has("--json");
    if (json) {
        std::printf("[");
    }
    for (std::size_t i = 0; i < photos->size(); ++i) {
        const qm::ProjectPhoto& p = (*photos)[i];
        if (json) {
            std::printf("%s\n  {\"sha256\": \"%s\", \"point\": %s, \"day\": %s, \"visit\": %s, "
                        "\"taken_at\": %s, \"caption\": %s, \"orientation\": %d, "
                        "\"width\": %d, \"height\": %d, \"bytes\": %lld}",
                        i == 0 ? "" : ",", p.sha256.c_str(), json_or_null(p.place.point).c_str(),
                        json_or_null(p.place.day).c_str(), json_or_null(p.place.visit).c_str(),
                        json_or_null(p.facts.taken_at).c_str(),
                        json_string(p.place.caption).c_str(), p.facts.orientation, p.facts.width,
                        p.facts.height, static_cast<long long>(p.bytes));
        } else {
            std::printf("%s\t%s\t%s\t%s\t%s\n", p.sha256.c_str(), p.place.day.value_or("-").c_str(),
                        shown_utf8(p.place.point.value_or("-")).c_str(),
                        p.facts.taken_at.value_or("-").c_str(),
                        shown_utf8(p.place.caption).c_str());
        }
    }
    if (json) {
        std::printf("%s]\n", photos->empty() ? "" : "\n");
    }
    return finish_output(kExitOk);
}

int run_remove(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("photo remove", argc, argv, {}, {}, 2, 2, args, status)) {
        return status;
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    qm::ProjectPhotos photos(*s.archive);
    const qm::Result<std::string> sha = photos.resolve(s.project, args.positional[1]);
    if (!sha) {
        return failure(sha.error());
    }
    const qm::Status removed = photos.detach(s.project, *sha);
    return removed ? kExitOk : failure(removed.error());
}

int run_export(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("photo export", argc, argv, {}, {}, 3, 3, args, status)) {
        return status;
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    qm::ProjectPhotos photos(*s.archive);
    const qm::Result<std::string> sha = photos.resolve(s.project, args.positional[1]);
    if (!sha) {
        return failure(sha.error());
    }
    const qm::Result<std::vector<std::uint8_t>> bytes = photos.files().read(*sha);
    if (!bytes) {
        return failure(bytes.error());
    }
    const std::string& out = args.positional[2];
    if (const int error = qm::replace_file_contents(out, *bytes); error != 0) {
        return failure(out + " cannot be written: " + qm::file_error_text(error));
    }
    return kExitOk;
}

} // namespace

int run_project_photo(ProjectSession& s, int argc, char** argv) {
    if (argc < 1) {
        return usage_error("photo: add, list, remove or export?");
    }
    const std::string_view sub = argv[0];
    using Run = int (*)(ProjectSession&, int, char**);
    for (const auto& [name, run] : {std::pair<std::string_view, Run>{"add", run_add},
                                    {"list", run_list},
                                    {"remove", run_remove},
                                    {"export", run_export}}) {
        if (sub == name) {
            return run(s, argc - 1, argv + 1);
        }
    }
    return usage_error("photo: unknown subcommand '" + std::string(sub) + "'");
}

} // namespace qmtool
