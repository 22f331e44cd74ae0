// Inside the fast loops: what the thread driver (kernels_fast.cpp) hands to
// the vector loops (kernels_simd.cpp), which are compiled once per
// instruction set and chosen at run time for the processor at hand.
#pragma once

#include <cstdint>

#include "cpoint.h"
#include "pixel_map.h"

namespace fast_detail {

// Extra elements behind the chord arrays, so that a vector load at any
// chord index stays inside them: more than the widest vector has lanes.
constexpr int padding = 64;

// The line of each chord as inter() forms it, one array per coefficient:
// a = from.y - to.y, b = to.x - from.x, c = a * from.x + b * from.y.
struct lines {
    const float* a;
    const float* b;
    const float* c;
};

// The vector loops number cells X * h + Y in 32 bits: up to 2^32 cells, a
// 65536 x 65536 bitmap.
inline bool cells_fit(const pixel_map& map)
{
    return std::int64_t(map.w) * map.h <= std::int64_t(1) << 32;
}

// A hit grid, column after column (cell X * h + Y), and the pixel mapping
// it is counted with: a private grid, or the hit map itself, whose counts
// saturate at INT_MAX.
struct grid {
    std::uint32_t* cells;
    bool saturating;
    pixel_map map;
    // 1 / map.divisor when the divisor is a power of two: a division by it
    // then gives exactly the product by its inverse. Otherwise 0.
    float inverse;
};

// The pairs (j, i), i < j, of the chords j_begin to j_end - 1: their
// intersections written to out[j * (j - 1) / 2 + i] unless out is null,
// and counted into g.
void pair_rows(const lines& chords, int j_begin, int j_end, Cpoint* out, const grid& g);
// Counts the points begin to end - 1.
void count_span(const Cpoint* points, std::int64_t begin, std::int64_t end, const grid& g);

// Name of the instruction set the loops run with on this processor.
const char* target_name();

}
