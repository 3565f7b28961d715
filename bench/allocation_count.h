// Counts the heap allocations of the benchmark program. The C library's allocation functions are
// replaced for the whole process (operator new of the C++ library allocates through malloc, so
// it is counted too), and a benchmark reads the count around its timed loop to report the
// allocations of one iteration.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

// Allocations made so far by any thread of the process.
uint64_t allocation_count();

// Reads the count when made; report() sets the state's "allocs_per_iter" counter to the
// allocations made since, divided by the iterations run.
struct AllocationWatch {
    uint64_t start = allocation_count();
    void report(benchmark::State& state) const;
};
