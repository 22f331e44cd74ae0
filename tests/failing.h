// Allocations and thread starts that fail on demand. Linking failing.cpp
// replaces the global operator new and pthread_create of the whole program.
#pragma once

#include <atomic>
#include <cstddef>

// Allocations that still succeed before every one fails; -1: never fail.
extern std::atomic<long> allocations_left;
// The size of one allocation to refuse, once; 0: none.
extern std::atomic<std::size_t> refused_size;
// While set, every new[] fails.
extern std::atomic<bool> refuse_arrays;
// Thread starts that still succeed before every one fails; -1: never fail.
extern std::atomic<int> threads_left;

// Fails every allocation after the next k while it lives.
struct failing_after {
    explicit failing_after(long k) { allocations_left = k; }
    ~failing_after() { allocations_left = -1; }
};
