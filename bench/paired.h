#pragma once

// Times an operation and its floor in alternation within one benchmark, so that both see the same
// machine load, and reports the medians. Every benchmark of qm_bench reports the same counters
// (op_ms, floor_ms, ratio; 0 where a benchmark has no floor), which the CSV reporter requires.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <vector>

namespace qm::bench {

// CPU time of the calling thread in milliseconds (user and system: a write to the page cache
// counts).
inline double thread_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

inline double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

inline void report(benchmark::State& state, double op_ms, double floor_ms, double ratio) {
    state.counters["op_ms"] = op_ms;
    state.counters["floor_ms"] = floor_ms;
    state.counters["ratio"] = ratio;
}

// One round per iteration: setup (untimed), the operation, setup again, the floor. The ratio is
// the median of the rounds' ratios; op_ms and floor_ms the medians of their times.
template <typename Setup, typename Op, typename Floor>
void run_paired(benchmark::State& state, Setup setup, Op op, Floor floor) {
    std::vector<double> ops;
    std::vector<double> floors;
    std::vector<double> ratios;
    for (auto _ : state) {
        setup();
        const double t0 = thread_cpu_ms();
        op();
        const double t1 = thread_cpu_ms();
        setup();
        const double t2 = thread_cpu_ms();
        floor();
        const double t3 = thread_cpu_ms();
        ops.push_back(t1 - t0);
        floors.push_back(t3 - t2);
        ratios.push_back(t3 > t2 ? (t1 - t0) / (t3 - t2) : 0.0);
    }
    report(state, median(ops), median(floors), median(ratios));
}

template <typename Op, typename Floor>
void run_paired(benchmark::State& state, Op op, Floor floor) {
    run_paired(
        state, [] {}, op, floor);
}

// A benchmark without a floor: the median CPU time of its rounds.
template <typename Op> void run_alone(benchmark::State& state, Op op) {
    std::vector<double> ops;
    for (auto _ : state) {
        const double t0 = thread_cpu_ms();
        op();
        ops.push_back(thread_cpu_ms() - t0);
    }
    report(state, median(ops), 0.0, 0.0);
}

} // namespace qm::bench
