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
// Another thread may watch and stop the loops through `watch`: the pair
// loops add the pairs they have done to `done` as they go, and every loop
// returns false, soon and with its output incomplete, once `cancel` is set.
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

struct work_watch {
    pair_counter* done = nullptr;
    const std::atomic<bool>* cancel = nullptr;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
    void add_done(std::int64_t pairs) const
    {
        if (done)
            done->fetch_add(pairs, std::memory_order_relaxed);
    }
};

namespace scalar {
// Adds one to hits[X][Y] for every pair whose intersection maps inside.
bool count_pairs(const Cpoint* from, const Cpoint* to, int chords,
                 const pixel_map& map, int** hits, const work_watch& watch = {});
// Writes the intersection of the t-th pair into out[t].
bool list_pairs(const Cpoint* from, const Cpoint* to, int chords, Cpoint* out,
                const work_watch& watch = {});
// Adds one to hits[X][Y] for every one of the n points that maps inside.
bool count_points(const Cpoint* points, std::int64_t n, const pixel_map& map,
                  int** hits, const work_watch& watch = {});
}

namespace fast {
// Worker threads of the loops below: 0 (the default) for as many as the
// work can use, up to one per core; otherwise that many, or fewer when the
// work does not divide into that many pieces. The threads are kept from one
// count to the next; this ends those kept, and the next count starts anew.
void set_threads(int threads);
// Memory the loops take on top of their arguments: the chords' lines, and a
// private hit grid per thread when they count into a w x h map (w = 0: no map).
std::uint64_t scratch_bytes(int chords, int w, int h);
bool count_pairs(const Cpoint* from, const Cpoint* to, int chords,
                 const pixel_map& map, int** hits, const work_watch& watch = {});
// Writes the list of scalar::list_pairs to out (out null: none) and counts
// it as count_points does, each pair as it is written.
bool list_pairs(const Cpoint* from, const Cpoint* to, int chords, Cpoint* out,
                const pixel_map& map, int** hits, const work_watch& watch = {});
bool count_points(const Cpoint* points, std::int64_t n, const pixel_map& map,
                  int** hits, const work_watch& watch = {});
}
