// The moisture map of a plan of 60 placed points over 30 days: a day change (the day's states
// and values laid out and written as SVG), and opening the plan (every point's cells taken from
// the drying log).
#include "plans/plan_svg.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr std::size_t kPoints = 60;
constexpr std::size_t kDays = 30;

// A log of 60 points over 30 days, wet, dry, unjudged or not read at random, and a plan of six
// rooms with every point placed on it.
struct MapFixture {
    qm::DryingLog log;
    qm::FloorPlan plan;
    std::vector<qm::PlacedPoint> placed;

    MapFixture() {
        std::mt19937 rng(33);
        for (std::size_t d = 0; d < kDays; ++d) {
            log.days.push_back(9500 + static_cast<std::int64_t>(d));
        }
        plan.name = "Ground floor";
        for (int r = 0; r < 6; ++r) {
            plan.rooms.push_back({"Room " + std::to_string(r),
                                  qm::rectangle_outline(r % 3 * 12.0, r / 3 * 10.0, 12, 10), 8.0});
        }
        for (std::size_t p = 0; p < kPoints; ++p) {
            qm::DryingRow row;
            row.point = {qm::PointScale::Pin, static_cast<int>(p % 64), static_cast<int>(p / 64),
                         "Plaster"};
            for (std::size_t d = 0; d < kDays; ++d) {
                const auto state = static_cast<qm::CellState>(rng() % 4);
                row.cells.push_back({state, 10.0 + (rng() % 200) * 0.1, {}, {}});
            }
            log.rows.push_back(row);
            placed.push_back({row.point, plan.name, {(rng() % 360) * 0.1, (rng() % 200) * 0.1}});
        }
    }
};

void BM_MapDayChange(benchmark::State& state) {
    const MapFixture f;
    const std::vector<qm::MarkedPoint> marks = qm::mark_points(f.placed, f.plan.name, f.log, {});
    std::size_t day = 0;
    for (auto _ : state) {
        const std::string svg = qm::map_svg(qm::map_scene(f.plan, marks, day, "Ground floor"));
        benchmark::DoNotOptimize(svg.data());
        day = (day + 1) % kDays;
    }
}
BENCHMARK(BM_MapDayChange)->Unit(benchmark::kMicrosecond);

void BM_MapOpen(benchmark::State& state) {
    const MapFixture f;
    for (auto _ : state) {
        const std::vector<qm::MarkedPoint> marks =
            qm::mark_points(f.placed, f.plan.name, f.log, {});
        benchmark::DoNotOptimize(marks.data());
    }
}
BENCHMARK(BM_MapOpen)->Unit(benchmark::kMicrosecond);

} // namespace
