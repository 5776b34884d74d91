// Time to make the client report of one large job as PDF bytes, every section included: the
// figures, the layout and the painting of every page (goals: 10,000 readings under 2 s, 100,000
// under 20 s). Runs headless with the offscreen platform.
#include "report/qt_report_document.h"

#include <QByteArray>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

using qm::Reading;

// A job as a technician takes it over weeks: 24 locations in turn, each in F, W and C for MC,
// a reading every few minutes; moisture drying out slowly, RH and temperature drifting.
qm::ReportJob make_job(std::size_t n, qm::RecordKind kind) {
    std::mt19937 rng(3);
    qm::ReportJob job;
    job.kind = kind;
    job.job = 1;
    job.job_id = 7;
    job.model = "TRK ALFA";
    job.notes = "Dehumidifier in the kitchen\r\nRecheck on Friday";
    long minute = 0;
    for (std::size_t i = 0; i < n; ++i) {
        minute += 1 + static_cast<long>(rng() % 5);
        Reading r;
        r.job = 1;
        static constexpr int kMcKinds[] = {qm::PinWithTemperature, qm::Pin, qm::Scan};
        r.kind = kind == qm::RecordKind::Rh ? qm::RhTemperature : kMcKinds[rng() % 3];
        r.location = static_cast<int>(i / 7 % 24);
        r.sub_location = kind == qm::RecordKind::Mc ? static_cast<int>(i % 3) : 0;
        r.material = static_cast<int>(i % 12);
        const long day = minute / 1440;
        r.year = 25 + static_cast<int>(day / 336);
        r.month = 1 + static_cast<int>(day / 28 % 12);
        r.day = 1 + static_cast<int>(day % 28);
        const int hour = static_cast<int>(minute / 60 % 24);
        r.hour_code = ((hour / 10) << 4) | (hour % 10);
        r.minute = static_cast<int>(minute % 60);
        r.pin_temperature = 70;
        r.mc = r.kind == qm::Scan ? 40.0 + rng() % 200 : 8.0 + (rng() % 300) * 0.1;
        r.rh = 35.0 + (rng() % 400) * 0.1;
        r.temperature = 62.0 + (rng() % 200) * 0.1;
        job.readings.push_back(r);
    }
    return job;
}

void report(benchmark::State& state, qm::RecordKind kind) {
    const std::vector<qm::ReportJob> jobs = {
        make_job(static_cast<std::size_t>(state.range(0)), kind)};
    qm::ReportRequest request;
    request.fields = {"Smith residence", "Acme Insurance", "12 Elm Street", "J. Tech"};
    request.printed = {2025, 12, 7};
    QByteArray pdf;
    int pages = 0;
    for (auto _ : state) {
        pages = qm::render_report_pdf(jobs, request, pdf).pages;
        benchmark::DoNotOptimize(pdf.data());
    }
    state.counters["pages"] = pages;
    state.counters["MB"] = static_cast<double>(pdf.size()) / 1e6;
}

void BM_ReportMc(benchmark::State& state) {
    report(state, qm::RecordKind::Mc);
}
void BM_ReportRh(benchmark::State& state) {
    report(state, qm::RecordKind::Rh);
}

BENCHMARK(BM_ReportMc)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportRh)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
