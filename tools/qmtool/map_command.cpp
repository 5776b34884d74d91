// `qmtool project map`: the moisture map of a plan on one day, as SVG or PNG.
#include "files/regular_file.h"
#include "plans/plan_store.h"
#include "plans/plan_svg.h"
#include "projects/drying_days.h"
#include "projects/project_log.h"
#include "projects/project_texts.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/map_render.h"
#include "tools/qmtool/project_command.h"
#include "tools/qmtool/text_codec.h"

#include <algorithm>
#include <cctype>

namespace qmtool {

namespace {

// A PNG map's resolution: print quality for a page.
constexpr int kPngDpi = 150;

bool ends_with_nocase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                      [](char lower, char c) {
                          return std::tolower(static_cast<unsigned char>(c)) == lower;
                      });
}

// The map's bytes: the SVG, or the PNG painted from the same layout.
qm::Result<std::vector<std::uint8_t>> map_bytes(const qm::MapScene& scene,
                                                const std::optional<qm::PlanUnderlay>& underlay,
                                                std::span<const std::uint8_t> image, bool png) {
    if (png) {
        std::vector<std::uint8_t> bytes = map_png(scene, image, kPngDpi);
        if (bytes.empty()) {
            return qm::failure("the PNG image of the map cannot be made");
        }
        return bytes;
    }
    const std::string svg =
        qm::map_svg(scene, {underlay ? std::string_view(underlay->media_type) : "", image});
    return std::vector<std::uint8_t>(svg.begin(), svg.end());
}

} // namespace

// map NAME --plan PLAN --day YYYY-MM-DD --out FILE.svg|FILE.png
int run_project_map(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("map", argc, argv, {}, {"--plan", "--day", "--out"}, 1, 1, args,
                          status)) {
        return status;
    }
    const std::string* plan_name = args.value("--plan");
    const std::string* day_text = args.value("--day");
    const std::string* out = args.value("--out");
    if (plan_name == nullptr || day_text == nullptr || out == nullptr) {
        return usage_error("map: --plan, --day and --out are needed");
    }
    const std::optional<std::int64_t> day = qm::parse_iso_date(*day_text);
    if (!day) {
        return usage_error("map: --day is a date YYYY-MM-DD: " + *day_text);
    }
    const bool png = ends_with_nocase(*out, ".png");
    if (!png && !ends_with_nocase(*out, ".svg")) {
        return usage_error("map: --out names an .svg or a .png file");
    }
    if (png && !map_png_available()) {
        return failure("this qmtool was built without Qt and writes maps as SVG only");
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    qm::PlanStore plans(*s.archive);
    const qm::Result<std::optional<qm::FloorPlan>> plan = plans.plan(s.project, *plan_name);
    const qm::Result<std::vector<qm::PlacedPoint>> placed = plans.placed(s.project);
    if (!plan || !placed) {
        return failure(!plan ? plan.error() : placed.error());
    }
    if (!*plan) {
        return failure("the project has no plan named \"" + *plan_name + "\"");
    }
    if (!s.read_logs(false)) {
        return kExitFailure;
    }
    const qm::ProjectLogs& logs = s.logs;
    const std::vector<std::int64_t>& days = logs.drying.days;
    const auto found = std::find(days.begin(), days.end(), *day);
    if (found == days.end()) {
        return failure(days.empty() ? "no point of the project has been read yet"
                                    : "no point was read on " + *day_text + " (the log runs from " +
                                          qm::iso_date(days.front()) + " to " +
                                          qm::iso_date(days.back()) + ")");
    }
    std::vector<std::uint8_t> image;
    if ((*plan)->underlay) {
        qm::Result<std::vector<std::uint8_t>> bytes = plans.underlay_bytes(*(*plan)->underlay);
        if (!bytes) {
            return failure(bytes.error());
        }
        image = std::move(*bytes);
    }
    const std::vector<qm::PointHistory> air = qm::point_histories(s.readings.attached, true);
    const std::vector<qm::MarkedPoint> marks =
        qm::mark_points(*placed, (*plan)->name, logs.drying, air);
    const qm::MapScene scene =
        qm::map_scene(**plan, marks, static_cast<std::size_t>(found - days.begin()),
                      s.name + ": " + (*plan)->name + ", " + *day_text);
    const qm::Result<std::vector<std::uint8_t>> bytes =
        map_bytes(scene, (*plan)->underlay, image, png);
    if (!bytes) {
        return failure(bytes.error());
    }
    if (const int error = qm::replace_file_contents(*out, *bytes); error != 0) {
        return failure(*out + ": " + qm::file_error_text(error));
    }
    return kExitOk;
}

} // namespace qmtool
