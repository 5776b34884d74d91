// qmtool project removed and point: materials removed at a point, and points planned before they
// are read.
#include "projects/project_texts.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/project_command.h"

namespace qmtool {

int run_project_removed(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("removed", argc, argv, {"--clear"}, {"--on", "--reason"}, 2, 2, args,
                          status)) {
        return status;
    }
    const auto point = point_argument(args.positional[1]);
    if (!point || point->scale == qm::PointScale::Air) {
        return usage_error("not a pin or scan point: " + args.positional[1]);
    }
    const std::string* on = args.value("--on");
    const std::string* reason = args.value("--reason");
    const bool clear = args.has("--clear");
    if (clear == (on != nullptr || reason != nullptr) ||
        (!clear && (on == nullptr || reason == nullptr))) {
        return usage_error("removed: give --on YYYY-MM-DD and --reason TEXT, or --clear");
    }
    std::optional<qm::PointRemoval> removal;
    if (!clear) {
        const std::optional<std::int64_t> day = qm::parse_iso_date(*on);
        if (!day) {
            return usage_error("--on is a date YYYY-MM-DD: " + *on);
        }
        removal = qm::PointRemoval{*day, *reason};
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    return s.store->set_removed(s.project, *point, removal) ? kExitOk : s.failed();
}

int run_project_point(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("point", argc, argv, {}, {"--label"}, 3, 3, args, status)) {
        return status;
    }
    const std::string& action = args.positional[0];
    const std::string* label = args.value("--label");
    if ((action != "add" && action != "drop") || (action == "drop" && label != nullptr)) {
        return usage_error("point add NAME POINT [--label TEXT] | point drop NAME POINT");
    }
    const auto point = point_argument(args.positional[2]);
    if (!point) {
        return usage_error("not a point: " + args.positional[2]);
    }
    if (!s.open_project(args.positional[1])) {
        return kExitFailure;
    }
    if (!s.store->set_planned(s.project, *point, action == "add") ||
        (label != nullptr && !s.store->set_label(s.project, *point, *label))) {
        return s.failed();
    }
    return kExitOk;
}

} // namespace qmtool
