// qmtool meter: the user's meters, and the technician and meter said with a new visit.
#include "archive/visit_evidence.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"
#include "tools/qmtool/text_codec.h"

#include <cstdio>

namespace qmtool {

namespace {

constexpr const char* kMeterUsage =
    "usage: qmtool meter add NAME [--serial SERIAL] [--model MODEL]\n"
    "       qmtool meter list [--json]\n"
    "       qmtool meter remove NAME\n"
    "\n"
    "The user's own meters, kept in the visit archive: a name, the serial number and the model\n"
    "the meter names itself (as `qmtool archive list` shows it; empty: any model). A download or\n"
    "`archive add` that names a meter says that the visit was read with it; otherwise the one\n"
    "meter known for the visit's model is said, when there is exactly one.\n";

int list_meters(qm::VisitArchive& archive, bool json) {
    const qm::Result<std::vector<qm::UserMeter>> meters = qm::user_meters(archive);
    if (!meters) {
        std::fprintf(stderr, "qmtool: %s\n", meters.error().c_str());
        return kExitFailure;
    }
    if (json) {
        std::printf("[");
        for (std::size_t i = 0; i < meters->size(); ++i) {
            const qm::UserMeter& m = (*meters)[i];
            std::printf("%s\n  {\"name\": %s, \"serial\": %s, \"model\": %s}", i == 0 ? "" : ",",
                        json_string(m.name).c_str(), json_string(m.serial).c_str(),
                        json_string(m.model).c_str());
        }
        std::printf("%s]\n", meters->empty() ? "" : "\n");
        return kExitOk;
    }
    for (const qm::UserMeter& m : *meters) {
        std::printf("%s\t%s\t%s\n", shown_utf8(m.name).c_str(), shown_utf8(m.serial).c_str(),
                    shown_utf8(m.model).c_str());
    }
    return kExitOk;
}

int run_meter_action(qm::VisitArchive& archive, const Arguments& args) {
    const std::string& action = args.positional[0];
    if (action == "list") {
        return list_meters(archive, args.has("--json"));
    }
    qm::Status changed = qm::done();
    if (action == "add") {
        const std::string* serial = args.value("--serial");
        const std::string* model = args.value("--model");
        changed = qm::add_user_meter(
            archive, {args.positional[1], serial ? *serial : "", model ? *model : ""});
    } else {
        changed = qm::remove_user_meter(archive, args.positional[1]);
    }
    if (!changed) {
        std::fprintf(stderr, "qmtool: meter %s: %s\n", shown_utf8(args.positional[1]).c_str(),
                     changed.error().c_str());
        return kExitFailure;
    }
    return kExitOk;
}

bool valid_meter_usage(const Arguments& args) {
    if (args.positional.empty()) {
        return false;
    }
    const std::string& action = args.positional[0];
    const bool valued = args.value("--serial") != nullptr || args.value("--model") != nullptr;
    if (action == "list") {
        return args.positional.size() == 1 && !valued;
    }
    return (action == "add" || action == "remove") && args.positional.size() == 2 &&
           !args.has("--json") && (action == "add" || !valued);
}

} // namespace

int run_meter(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parse_arguments(argc, argv, {"--json"}, {"--serial", "--model"}, args, error) ||
        args.help || !valid_meter_usage(args)) {
        if (!error.empty()) {
            std::fprintf(stderr, "qmtool meter: %s\n", error.c_str());
        }
        std::fputs(kMeterUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    const std::unique_ptr<qm::VisitArchive> archive = open_default_archive();
    return archive ? finish_output(run_meter_action(*archive, args)) : kExitFailure;
}

std::optional<qm::VisitEvidence> new_visit_evidence(qm::VisitArchive& archive,
                                                    const std::string& model,
                                                    const std::string* meter_name) {
    const qm::Result<std::vector<qm::UserMeter>> meters = qm::user_meters(archive);
    if (!meters) {
        std::fprintf(stderr, "qmtool: %s\n", meters.error().c_str());
        return std::nullopt;
    }
    const qm::UserMeter* meter = nullptr;
    const std::vector<qm::UserMeter> fitting = qm::meters_for_model(*meters, model);
    if (meter_name != nullptr) {
        meter = qm::find_user_meter(*meters, *meter_name);
        if (meter == nullptr) {
            std::fprintf(stderr, "qmtool: there is no meter named \"%s\" (see qmtool meter list)\n",
                         shown_utf8(*meter_name).c_str());
            return std::nullopt;
        }
    } else if (fitting.size() == 1) {
        meter = &fitting[0];
    }
    return qm::evidence_with(qm::technician_from_environment(), meter);
}

void keep_new_visit_evidence(qm::VisitArchive& archive, std::int64_t visit,
                             const qm::VisitEvidence& evidence) {
    if (evidence.technician.empty() && evidence.meter_name.empty()) {
        return;
    }
    if (const qm::Status kept = qm::keep_visit_evidence(archive, visit, evidence); !kept) {
        std::fprintf(stderr,
                     "qmtool: warning: the technician and meter of visit %lld were not "
                     "kept: %s\n",
                     static_cast<long long>(visit), kept.error().c_str());
    }
}

} // namespace qmtool
