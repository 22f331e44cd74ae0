// Allocations and thread starts that fail on demand: failing.cpp replaces
// the program's global operator new and pthread_create.
#pragma once

#include <atomic>
#include <cstddef>

extern std::atomic<long> allocations_left;      // that still succeed before all fail; -1: no limit
extern std::atomic<std::size_t> refused_size;   // one allocation of that size fails, once; 0: none
extern std::atomic<bool> refuse_arrays;         // every new[] fails while set
extern std::atomic<int> threads_left;           // starts that still succeed before all fail; -1: no limit

// Fails every allocation after the next k while it lives.
struct failing_after {
    explicit failing_after(long k) { allocations_left = k; }
    ~failing_after() { allocations_left = -1; }
};
