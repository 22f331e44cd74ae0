// The three loops that carry the chryzode's quadratic cost, in two versions:
// `scalar` is the plain definition of the arithmetic, `fast` must give
// exactly its results (same grid, same list in the same order).
//
// Chords are given as two arrays of `chords` end points, chord c running
// from from[c] to to[c]. Pairs are taken with j ascending in the outer loop
// and i < j ascending in the inner loop, and pair (j, i) is
// inter(from[j], to[j], from[i], to[i]).
//
// Hit counts saturate at INT_MAX (past 65026 hits a pixel has the second
// figure colour anyway), so no number of pairs overflows a count.
//
// The pair loops add the pairs they have done, as they go, to `done` when it
// is given: another thread may read it to show how far the work is.
#pragma once

#include <atomic>
#include <cstdint>

#include "cpoint.h"
#include "pixel_map.h"

inline std::int64_t pair_count(std::int64_t chords)
{
    return chords < 2 ? 0 : chords * (chords - 1) / 2;
}

using pair_counter = std::atomic<std::int64_t>;

namespace scalar {
// Adds one to hits[X][Y] for every pair whose intersection maps inside.
void count_pairs(const Cpoint* from, const Cpoint* to, int chords,
                 const pixel_map& map, int** hits, pair_counter* done = nullptr);
// Writes the intersection of the t-th pair into out[t].
void list_pairs(const Cpoint* from, const Cpoint* to, int chords, Cpoint* out,
                pair_counter* done = nullptr);
// Adds one to hits[X][Y] for every one of the n points that maps inside.
void count_points(const Cpoint* points, std::int64_t n, const pixel_map& map,
                  int** hits);
}

namespace fast {
// Worker threads of the loops below: 0 (the default) for as many as the
// work can use, up to one per core; otherwise that many, or fewer when the
// work does not divide into that many pieces.
void set_threads(int threads);
// Memory the loops take on top of their arguments: the chords' lines, and a
// private hit grid per thread when they count into a w x h map (w = 0: no map).
std::uint64_t scratch_bytes(int chords, int w, int h);
void count_pairs(const Cpoint* from, const Cpoint* to, int chords,
                 const pixel_map& map, int** hits, pair_counter* done = nullptr);
void list_pairs(const Cpoint* from, const Cpoint* to, int chords, Cpoint* out,
                pair_counter* done = nullptr);
void count_points(const Cpoint* points, std::int64_t n, const pixel_map& map,
                  int** hits);
}
