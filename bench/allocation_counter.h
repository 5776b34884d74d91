#pragma once

#include <cstddef>

namespace qm::bench {

// Allocations made through operator new since the program started (bench_allocations.cpp
// replaces the global operator new to count them).
std::size_t allocation_count();

} // namespace qm::bench
