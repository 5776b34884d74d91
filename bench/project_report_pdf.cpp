// Time to make the report of a drying project of 30 visits and 150,000 readings as PDF bytes
// (goal: under 5 s): its pages (the logs, tables and charts) and the sections of its 30 visits'
// jobs, every section included. Runs headless with the offscreen platform.
#include "bench/drying_visits.h"
#include "bench/paired.h"
#include "report/project_report.h"
#include "report/qt_report_document.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

void BM_ProjectReport(benchmark::State& state) {
    const auto visits = make_visits();
    std::vector<qm::AttachedJob> attached;
    std::vector<qm::ReportJob> jobs;
    std::size_t readings = 0;
    for (const auto& v : visits) {
        attached.push_back({"TRK 200", 118, v});
        for (const qm::RecordKind kind : {qm::RecordKind::Rh, qm::RecordKind::Mc}) {
            qm::ReportJob job;
            job.kind = kind;
            job.job = 2;
            job.job_id = 118;
            job.model = "TRK 200";
            for (const qm::Reading& r : v) {
                if (qm::is_rh(r) == (kind == qm::RecordKind::Rh)) {
                    job.readings.push_back(r);
                }
            }
            qm::order_by_clock(job.readings);
            readings += job.readings.size();
            jobs.push_back(std::move(job));
        }
    }
    qm::ProjectSettings settings;
    settings.materials.push_back({"Plaster", qm::PointScale::Pin, {11.0, std::nullopt}, 2.0});
    settings.materials.push_back(
        {"Sheetrock",
         qm::PointScale::Pin,
         {std::nullopt, qm::MonitoringPoint{qm::PointScale::Pin, 22, 0, "Sheetrock"}},
         2.0});
    settings.points.push_back({{qm::PointScale::Air, 0, -1, ""}, "", qm::AirRole::Affected});
    settings.points.push_back(
        {{qm::PointScale::Air, 1, -1, ""}, "", qm::AirRole::DehumidifierOutlet});
    const qm::ProjectDetails details{"Bench", "Acme Insurance", "12 Elm Street", "C-1", {}, 2, 3,
                                     ""};
    const int locations[] = {0, 1, 2, 3, 4, 5};
    qm::ReportRequest request;
    request.printed = {2026, 4, 1};
    if (state.range(0) == 0) {
        jobs.clear(); // the project's own pages alone
    }
    request.sections.readings = state.range(0) != 2; // 2: without "All readings"
    QByteArray pdf;
    int pages = 0;
    // The median of the rounds' CPU time in op_ms, as the other benchmarks give theirs.
    qm::bench::run_alone(state, [&] {
        // The logs and the project's pages are part of every report.
        const qm::DryingLog log = qm::drying_log(attached, {settings.materials, {}});
        qm::ProjectLogs logs;
        logs.drying = log;
        logs.air = qm::air_log(attached, settings.roles(), false);
        request.project = std::make_shared<const qm::ProjectReport>(
            qm::project_report(details, settings, logs, locations, jobs.size(), kVisits, {}));
        pages = qm::render_report_pdf(jobs, request, pdf).pages;
        benchmark::DoNotOptimize(pdf.data());
    });
    state.counters["pages"] = pages;
    state.counters["readings"] = static_cast<double>(readings);
    state.counters["MB"] = static_cast<double>(pdf.size()) / 1e6;
}
// Arg 1: the whole report; 2: without the tables of all readings; 0: the project's pages alone.
// Five rounds each.
BENCHMARK(BM_ProjectReport)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
