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

// Wall time in milliseconds: for work done partly by another process (a database server).
inline double wall_ms() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
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

// One round per iteration, timed by `clock`: op_setup (untimed), the operation, floor_setup
// (untimed), the floor. The ratio is the median of the rounds' ratios; op_ms and floor_ms the
// medians of their times.
template <typename Clock, typename OpSetup, typename Op, typename FloorSetup, typename Floor>
void run_paired_by(benchmark::State& state, Clock clock, OpSetup op_setup, Op op,
                   FloorSetup floor_setup, Floor floor) {
    std::vector<double> ops;
    std::vector<double> floors;
    std::vector<double> ratios;
    for (auto _ : state) {
        op_setup();
        const double t0 = clock();
        op();
        const double t1 = clock();
        floor_setup();
        const double t2 = clock();
        floor();
        const double t3 = clock();
        ops.push_back(t1 - t0);
        floors.push_back(t3 - t2);
        ratios.push_back(t3 > t2 ? (t1 - t0) / (t3 - t2) : 0.0);
    }
    report(state, median(ops), median(floors), median(ratios));
}

// The same in the calling thread's CPU time, with one setup before each side.
template <typename Setup, typename Op, typename Floor>
void run_paired(benchmark::State& state, Setup setup, Op op, Floor floor) {
    run_paired_by(state, thread_cpu_ms, setup, op, setup, floor);
}

template <typename Op, typename Floor>
void run_paired(benchmark::State& state, Op op, Floor floor) {
    run_paired(
        state, [] {}, op, floor);
}

// A benchmark without a floor: the median time of its rounds (CPU time unless told).
template <typename Op, typename Clock = double (*)()>
void run_alone(benchmark::State& state, Op op, Clock clock = thread_cpu_ms) {
    std::vector<double> ops;
    for (auto _ : state) {
        const double t0 = clock();
        op();
        ops.push_back(clock() - t0);
    }
    report(state, median(ops), 0.0, 0.0);
}

} // namespace qm::bench
