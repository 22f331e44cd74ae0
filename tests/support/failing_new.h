// The global operator new of a test program, failing on demand: link the
// failing_new library into a program of its own (it replaces the operator for
// the whole program) and set these switches around the code under test.
#pragma once

#include <atomic>
#include <cstddef>

// Allocations that still succeed before every one fails; -1: never fail.
extern std::atomic<long> allocations_left;
// The size of one allocation to refuse, once; 0: none. Back to 0 once refused.
extern std::atomic<std::size_t> refused_size;
// While set, every new[] fails.
extern std::atomic<bool> refuse_arrays;
// Set whenever an allocation is refused.
extern std::atomic<bool> allocation_failed;

// Fails every allocation after the next k while it lives.
struct failing_after {
    explicit failing_after(long k)
    {
        allocation_failed = false;
        allocations_left = k;
    }
    ~failing_after() { allocations_left = -1; }
};
