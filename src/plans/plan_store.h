#pragma once

// The floor plans of the archive's projects: plans, their rooms and the places of the points.
// Every change is written at once, in one transaction of its own; every read is one state of the
// archive and a failure is an error, never an empty list.

#include "archive/visit_archive.h"
#include "plans/floor_plan.h"
#include "store/result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The folder beside the archive that holds the plans' underlay images, each file named by the
// SHA-256 of its bytes: "plans" in the archive's own folder.
std::string underlay_folder(const std::string& archive_path);

class PlanStore {
public:
    explicit PlanStore(VisitArchive& archive) : archive_(archive), db_(archive.connection({})) {}

    // A new plan of a project (its name, units and underlay; rooms and scale come later). The
    // underlay's bytes are kept beside the archive first (once for the same bytes); refused when
    // the project has a plan of that name, letter case aside.
    Status add_plan(std::int64_t project, const FloorPlan& plan,
                    std::span<const std::uint8_t> underlay_bytes = {});
    // Removes a plan, its rooms and its points' places (the points and readings stay).
    Status remove_plan(std::int64_t project, std::string_view plan);
    Status set_scale(std::int64_t project, std::string_view plan, const PlanScale& scale);
    // Adds a room, or replaces the room of the same name (which keeps its place in the order).
    Status put_room(std::int64_t project, std::string_view plan, const PlanRoom& room);
    // Puts a point on a plan; a point placed before moves (its readings are not touched).
    Status place(std::int64_t project, const PlacedPoint& placed);

    // The project's plans with their rooms, by name.
    Result<std::vector<FloorPlan>> plans(std::int64_t project);
    // One plan, or nothing when the project has none of that name.
    Result<std::optional<FloorPlan>> plan(std::int64_t project, std::string_view name);
    // The places of the project's points (on every plan), in point order.
    Result<std::vector<PlacedPoint>> placed(std::int64_t project);
    // The bytes of a plan's underlay, checked against their SHA-256.
    Result<std::vector<std::uint8_t>> underlay_bytes(const PlanUnderlay& underlay);

private:
    Status writable() const;
    template <typename Write> Status in_transaction(Write write);
    Status keep_underlay(const PlanUnderlay& underlay, std::span<const std::uint8_t> bytes);
    Result<std::vector<PlanRoom>> rooms(std::int64_t project, std::string_view plan);
    Failure read_failure(std::string_view what) const;

    VisitArchive& archive_;
    SqliteDb& db_;
};

} // namespace qm
