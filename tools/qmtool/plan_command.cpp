// `qmtool project plan` and `project place`: a project's floor plans and the places of its
// points.
#include "files/regular_file.h"
#include "plans/plan_image.h"
#include "plans/plan_store.h"
#include "projects/project_log.h"
#include "projects/project_texts.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/project_command.h"
#include "tools/qmtool/text_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qmtool {

namespace {

// An underlay file larger than this is refused before it is read.
constexpr std::size_t kMaxImageBytes = 64u << 20;

// "X,Y,..." as numbers; nothing when a piece is not a finite number or the count differs.
std::optional<std::vector<double>> numbers(const std::string& text, std::size_t count_multiple,
                                           std::size_t min_count) {
    std::vector<double> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::optional<double> v = number_argument(text.substr(start, comma - start));
        if (!v || !std::isfinite(*v)) {
            return std::nullopt;
        }
        out.push_back(*v);
        start = comma + 1;
    }
    if (out.size() % count_multiple != 0 || out.size() < min_count) {
        return std::nullopt;
    }
    return out;
}

std::optional<qm::SheetXY> place_argument(const std::string& text) {
    const auto v = numbers(text, 2, 2);
    if (!v || v->size() != 2) {
        return std::nullopt;
    }
    return qm::SheetXY{(*v)[0], (*v)[1]};
}

// The plan PLAN of the session's project; says so when there is none.
std::optional<qm::FloorPlan> find_plan(qm::PlanStore& plans, ProjectSession& s,
                                       const std::string& name) {
    qm::Result<std::optional<qm::FloorPlan>> found = plans.plan(s.project, name);
    if (!found) {
        failure(found.error());
        return std::nullopt;
    }
    if (!*found) {
        failure("the project has no plan named \"" + name + "\"");
        return std::nullopt;
    }
    return std::move(**found);
}

int status_of(const qm::Status& done) {
    return done ? kExitOk : failure(done.error());
}

// plan add NAME PLAN [--image FILE [--page N]] [--metric]
int run_plan_add(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("plan add", argc, argv, {"--metric"}, {"--image", "--page"}, 2, 2, args,
                          status)) {
        return status;
    }
    if (args.value("--page") != nullptr && args.value("--image") == nullptr) {
        return usage_error("plan add: --page names a page of the --image file");
    }
    qm::FloorPlan plan;
    plan.name = args.positional[1];
    plan.units = args.has("--metric") ? qm::PlanUnits::Metres : qm::PlanUnits::Feet;
    std::vector<std::uint8_t> bytes;
    if (const std::string* image = args.value("--image")) {
        if (const int error = qm::read_regular_file(*image, kMaxImageBytes, bytes); error != 0) {
            return failure(*image + ": " + qm::file_error_text(error));
        }
        qm::ImageRead read = qm::read_plan_image(bytes);
        if (!read.underlay) {
            return failure(*image + ": " + read.problem);
        }
        if (args.value("--page") != nullptr) {
            return failure(*image + ": --page is for a PDF; this file is an image");
        }
        plan.underlay = std::move(read.underlay);
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    return status_of(qm::PlanStore(*s.archive).add_plan(s.project, plan, bytes));
}

// plan scale NAME PLAN --from X1,Y1 --to X2,Y2 --length 12ft
int run_plan_scale(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("plan scale", argc, argv, {}, {"--from", "--to", "--length"}, 2, 2, args,
                          status)) {
        return status;
    }
    const std::string* from = args.value("--from");
    const std::string* to = args.value("--to");
    const std::string* length = args.value("--length");
    if (from == nullptr || to == nullptr || length == nullptr) {
        return usage_error("plan scale: --from, --to and --length are needed");
    }
    const auto a = place_argument(*from);
    const auto b = place_argument(*to);
    if (!a || !b) {
        return usage_error("plan scale: --from and --to are places X,Y");
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    qm::PlanStore plans(*s.archive);
    const std::optional<qm::FloorPlan> plan = find_plan(plans, s, args.positional[1]);
    if (!plan) {
        return kExitFailure;
    }
    const std::optional<double> units = qm::parse_plan_length(*length, plan->units);
    if (!units) {
        return usage_error("plan scale: --length is a length with its unit, as 12ft or 3.5m: " +
                           *length);
    }
    return status_of(plans.set_scale(s.project, plan->name, {*a, *b, *units}));
}

// plan room NAME PLAN ROOM (--rect X,Y,W,H | --polygon X,Y,...) [--height 8ft]
int run_plan_room(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("plan room", argc, argv, {}, {"--rect", "--polygon", "--height"}, 3, 3,
                          args, status)) {
        return status;
    }
    const std::string* rect = args.value("--rect");
    const std::string* polygon = args.value("--polygon");
    if ((rect == nullptr) == (polygon == nullptr)) {
        return usage_error("plan room: one of --rect X,Y,W,H and --polygon X,Y,... is needed");
    }
    const auto v = rect != nullptr ? numbers(*rect, 4, 4) : numbers(*polygon, 2, 6);
    if (!v || (rect != nullptr && v->size() != 4)) {
        return usage_error(rect != nullptr ? "plan room: --rect is X,Y,W,H"
                                           : "plan room: --polygon is three corners or more, "
                                             "X,Y,X,Y,...");
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    qm::PlanStore plans(*s.archive);
    const std::optional<qm::FloorPlan> plan = find_plan(plans, s, args.positional[1]);
    if (!plan) {
        return kExitFailure;
    }
    qm::PlanRoom room;
    room.name = args.positional[2];
    std::vector<qm::SheetXY> typed;
    if (rect != nullptr) {
        typed = qm::rectangle_outline((*v)[0], (*v)[1], (*v)[2], (*v)[3]);
    } else {
        for (std::size_t i = 0; i < v->size(); i += 2) {
            typed.push_back({(*v)[i], (*v)[i + 1]});
        }
    }
    for (const qm::SheetXY& c : typed) {
        room.outline.push_back(qm::sheet_of(*plan, c));
    }
    if (const std::string* height = args.value("--height")) {
        room.height = qm::parse_plan_length(*height, plan->units);
        if (!room.height) {
            return usage_error("plan room: --height is a length with its unit, as 8ft or 2.4m");
        }
    }
    return status_of(plans.put_room(s.project, plan->name, room));
}

std::string xy_json(qm::SheetXY p) {
    return "[" + number_text(p.x) + "," + number_text(p.y) + "]";
}

// A figure to the hundredth, as a JSON number.
std::string figure(double value) {
    return number_text(std::round(value * 100.0) / 100.0);
}

std::string room_json(const qm::FloorPlan& plan, const qm::PlanRoom& room) {
    const qm::RoomMeasures m = qm::room_measures(plan, room);
    std::string out = "{\"name\":" + json_string(room.name) + ",\"outline\":[";
    for (std::size_t i = 0; i < room.outline.size(); ++i) {
        out += (i == 0 ? "" : ",") + xy_json(qm::typed_of(plan, room.outline[i]));
    }
    out += "],\"area\":" + figure(m.area) + ",\"walls\":[";
    for (std::size_t i = 0; i < m.walls.size(); ++i) {
        out += (i == 0 ? "" : ",") + figure(m.walls[i]);
    }
    out += "],\"perimeter\":" + figure(m.perimeter) +
           ",\"height\":" + (room.height ? figure(*room.height) : "null") +
           ",\"volume\":" + (m.volume ? figure(*m.volume) : "null") + "}";
    return out;
}

std::string plan_json(const qm::FloorPlan& plan, const std::vector<qm::PlacedPoint>& placed) {
    std::string out = "{\"name\":" + json_string(plan.name) +
                      ",\"units\":" + json_string(qm::plan_units_name(plan.units)) +
                      ",\"underlay\":";
    out += plan.underlay ? "{\"sha256\":" + json_string(plan.underlay->sha256) +
                               ",\"type\":" + json_string(plan.underlay->media_type) +
                               ",\"width\":" + std::to_string(plan.underlay->width) +
                               ",\"height\":" + std::to_string(plan.underlay->height) + "}"
                         : "null";
    out += ",\"scale\":";
    out += plan.scale
               ? "{\"from\":" + xy_json(plan.scale->from) + ",\"to\":" + xy_json(plan.scale->to) +
                     ",\"length\":" + number_text(plan.scale->length) + "}"
               : "null";
    out += ",\"rooms\":[";
    for (std::size_t i = 0; i < plan.rooms.size(); ++i) {
        out += (i == 0 ? "" : ",") + room_json(plan, plan.rooms[i]);
    }
    out += "],\"points\":[";
    bool first = true;
    for (const qm::PlacedPoint& p : placed) {
        if (p.plan == plan.name) {
            out += std::string(first ? "" : ",") +
                   "{\"point\":" + json_string(qm::point_text(p.point)) +
                   ",\"at\":" + xy_json(qm::typed_of(plan, p.at)) + "}";
            first = false;
        }
    }
    return out + "]}";
}

void print_plan(const qm::FloorPlan& plan, const std::vector<qm::PlacedPoint>& placed) {
    const std::string units(qm::plan_units_name(plan.units));
    std::printf("%s\t%s", shown_utf8(plan.name).c_str(), units.c_str());
    if (plan.underlay) {
        std::printf("\timage %d x %d px", plan.underlay->width, plan.underlay->height);
    }
    if (plan.scale) {
        std::printf("\t%s %s marked", number_text(plan.scale->length).c_str(), units.c_str());
    }
    std::printf("\n");
    const std::string square = plan.units == qm::PlanUnits::Metres ? "m2" : "sq ft";
    const std::string cubic = plan.units == qm::PlanUnits::Metres ? "m3" : "cu ft";
    for (const qm::PlanRoom& room : plan.rooms) {
        const qm::RoomMeasures m = qm::room_measures(plan, room);
        std::string walls;
        for (const double w : m.walls) {
            walls += (walls.empty() ? "" : ", ") + figure(w);
        }
        std::printf("  room %s\t%s %s\twalls %s %s", shown_utf8(room.name).c_str(),
                    figure(m.area).c_str(), square.c_str(), walls.c_str(), units.c_str());
        if (m.volume) {
            std::printf("\t%s %s", figure(*m.volume).c_str(), cubic.c_str());
        }
        std::printf("\n");
    }
    for (const qm::PlacedPoint& p : placed) {
        if (p.plan == plan.name) {
            const qm::SheetXY at = qm::typed_of(plan, p.at);
            std::printf("  point %s\tat %s,%s\n", shown_utf8(qm::point_text(p.point)).c_str(),
                        number_text(at.x).c_str(), number_text(at.y).c_str());
        }
    }
}

// The project's points that no plan holds: every point read, and every point labelled.
// (The session's logs are read.)
std::vector<std::string> unplaced_points(const ProjectSession& s,
                                         const std::vector<qm::PlacedPoint>& placed) {
    const qm::ProjectReadings& readings = s.readings;
    std::vector<qm::MonitoringPoint> points;
    for (const bool air : {false, true}) {
        for (const qm::PointHistory& h : qm::point_histories(readings.attached, air)) {
            points.push_back(h.point);
        }
    }
    for (const qm::PointNote& n : s.settings.points) {
        points.push_back(n.point);
    }
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    std::vector<std::string> out;
    for (const qm::MonitoringPoint& p : points) {
        if (std::none_of(placed.begin(), placed.end(),
                         [&](const qm::PlacedPoint& q) { return q.point == p; })) {
            out.push_back(qm::point_text(p));
        }
    }
    return out;
}

// plan list NAME [--json]
int run_plan_list(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("plan list", argc, argv, {"--json"}, {}, 1, 1, args, status)) {
        return status;
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    qm::PlanStore store(*s.archive);
    const qm::Result<std::vector<qm::FloorPlan>> plans = store.plans(s.project);
    const qm::Result<std::vector<qm::PlacedPoint>> placed = store.placed(s.project);
    if (!plans || !placed) {
        return failure(!plans ? plans.error() : placed.error());
    }
    if (!s.read_logs(false)) {
        return kExitFailure;
    }
    const std::vector<std::string> unplaced = unplaced_points(s, *placed);
    if (args.has("--json")) {
        std::printf("{\"project\":%s,\"plans\":[", json_string(s.name).c_str());
        for (std::size_t i = 0; i < plans->size(); ++i) {
            std::printf("%s%s", i == 0 ? "" : ",\n", plan_json((*plans)[i], *placed).c_str());
        }
        std::printf("],\n\"unplaced\":[");
        for (std::size_t i = 0; i < unplaced.size(); ++i) {
            std::printf("%s%s", i == 0 ? "" : ",", json_string(unplaced[i]).c_str());
        }
        std::printf("]}\n");
        return kExitOk;
    }
    for (const qm::FloorPlan& plan : *plans) {
        print_plan(plan, *placed);
    }
    if (!unplaced.empty()) {
        std::printf("Not placed:");
        for (const std::string& p : unplaced) {
            std::printf(" %s", shown_utf8(p).c_str());
        }
        std::printf("\n");
    }
    return kExitOk;
}

} // namespace

int run_project_plan(ProjectSession& s, int argc, char** argv) {
    using Run = int (*)(ProjectSession&, int, char**);
    const std::pair<std::string_view, Run> subcommands[] = {
        {"add", run_plan_add},
        {"scale", run_plan_scale},
        {"room", run_plan_room},
        {"list", run_plan_list},
    };
    if (argc > 0 && (argv[0] == std::string_view("--help") || argv[0] == std::string_view("-h"))) {
        Arguments args;
        int status = kExitOk;
        parse_subcommand("plan", argc, argv, {}, {}, 0, 0, args, status);
        return status;
    }
    for (const auto& [name, run] : subcommands) {
        if (argc > 0 && argv[0] == name) {
            return run(s, argc - 1, argv + 1);
        }
    }
    return usage_error(argc > 0 ? "plan: unknown subcommand '" + std::string(argv[0]) + "'"
                                : "plan: add, scale, room or list?");
}

// place NAME POINT --plan PLAN --at X,Y
int run_project_place(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("place", argc, argv, {}, {"--plan", "--at"}, 2, 2, args, status)) {
        return status;
    }
    const std::optional<qm::MonitoringPoint> point = point_argument(args.positional[1]);
    if (!point) {
        return usage_error("place: not a point: " + args.positional[1]);
    }
    const std::string* plan_name = args.value("--plan");
    const std::string* at = args.value("--at");
    const auto typed = at != nullptr ? place_argument(*at) : std::nullopt;
    if (plan_name == nullptr || !typed) {
        return usage_error("place: --plan PLAN and --at X,Y are needed");
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    qm::PlanStore plans(*s.archive);
    const std::optional<qm::FloorPlan> plan = find_plan(plans, s, *plan_name);
    if (!plan) {
        return kExitFailure;
    }
    return status_of(plans.place(s.project, {*point, plan->name, qm::sheet_of(*plan, *typed)}));
}

} // namespace qmtool
