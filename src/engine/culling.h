// Counting the pairs of chords in a magnified view: only the pairs whose
// computed crossing can land in it, to the same counts as every pair.
#pragma once

#include "kernels.h"

// Lines whose directions make an angle of sine at least this are never
// taken for parallel.
constexpr double least_sine = 0x1p-14;

// How far the crossing that inter() computes for two such lines, of lengths
// n and distances rho * n from the centre at most, lies from either line
// when it lies within |x| + |y| <= reach (see culling.cpp).
double crossing_error_bound(double rho, double reach);

// Adds to hits what count_pairs (the fast loops, or the plain ones when
// `fast` is false) adds for these chords, to the same counts. When the view
// is a small part of the circle, it skips the pairs whose crossing, as
// inter() computes it, provably maps outside; the skipped pairs count as
// done in `watch`.
bool count_pairs_in_view(const Cpoint* from, const Cpoint* to, int chords, const pixel_map& map, int** hits,
                         bool fast, const work_watch& watch = {});
