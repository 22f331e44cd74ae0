// How a count of crossings becomes a colour: the counts of a picture, the
// scales that place a count along a palette, the palettes, and the painting
// of a hit map into a bitmap.
#pragma once

#include <allegro.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "settings.h"

class Cchryzode;

// A picture's colour map: the palette, the scale, the count at which linear
// and log reach the palette's end (0: the picture's largest), and the two
// colours of the ramp.
struct colour_map {
    palette_kind palette = palette_kind::ramp;
    scale_kind scale = scale_kind::sqrt;
    int scale_max = 0;
    rgb fg1{config::fg1[0], config::fg1[1], config::fg1[2]};
    rgb fg2{config::fg2[0], config::fg2[1], config::fg2[2]};
};

// The model's colour map, its ramp colours read in the depth of its bitmap.
colour_map colour_map_of(const Cchryzode& model);

// What the scales read of a picture's counts: the largest, and for eq_hist
// how many pixels hold each count. Tallying them costs a pass over the
// picture several times as long as finding the largest alone.
class count_histogram {
public:
    explicit count_histogram(bool tally = true) : tallied(tally) {}
    // Adds columns x0 to x1 - 1 of a map of columns h counts high.
    void add(int** hits, int x0, int x1, int h);
    void add(const count_histogram& other);
    // Makes at_most ready; call it once all the counts are added.
    void finish();

    bool tally() const { return tallied; }
    int largest() const { return top; }   // 0 for a picture with no hit
    // With the tally only: the number of hit pixels, and of those whose
    // count is at most `count`.
    std::int64_t hit_pixels() const { return pixels; }
    std::int64_t at_most(int count) const;
    // Once finished, calls f(count) for every count some pixel holds,
    // ascending; without the tally, for every count from 1 to the largest
    // or the end of the tally.
    template <class F>
    void for_each_count(const F& f) const
    {
        const int end = std::min(top + 1, tally_size);
        for (int c = 1; c < end; ++c)
            if (!tallied || small[std::size_t(c)] != small[std::size_t(c) - 1])
                f(c);
        for (std::size_t k = 0; k < large.size(); ++k)
            if (k == 0 || large[k] != large[k - 1])
                f(large[k]);
    }
    // Counts below this are tallied in place, larger ones listed: the
    // tally stays small, and a picture has few pixels of such counts.
    static constexpr int tally_size = 1 << 16;

private:
    bool tallied;
    // small[c]: the pixels of count c; once finished, of count c or less.
    std::vector<std::int64_t> small = std::vector<std::int64_t>(tallied ? tally_size : 0);
    std::vector<int> large;   // the counts from tally_size on, sorted once finished
    int top = 0;
    std::int64_t pixels = 0;
};

// The counts of a w x h map (hits: its columns) that the map's scale reads,
// on up to `threads` threads (0: as many as the picture can use, one per
// core at most).
count_histogram counts_for(const colour_map& map, int** hits, int w, int h, int threads = 1);

// The count at which linear and log reach the palette's end.
int scale_top(const count_histogram& counts, const colour_map& map);
// The place t in [0, 1] of a count >= 1 along the palette. For sqrt it is
// 1 - 1/sqrt(count), which the table palettes use; the ramp has its own.
double scale_position(int count, const count_histogram& counts, const colour_map& map);
// The palette at t in [0, 1], as a legend's bar shows it.
rgb palette_colour(double t, const colour_map& map);
// The smallest count from 1 to the scale's top whose place is at least t:
// the count a legend writes at t.
int count_at(double t, const count_histogram& counts, const colour_map& map);
// The Part's ramp: fg1 for one hit, toward fg2 by one over the square root
// of the count.
rgb ramp_colour(int count, const rgb& fg1, const rgb& fg2);
// The colour of a count >= 1: the definition the painting follows.
rgb count_colour(int count, const count_histogram& counts, const colour_map& map);

// Clears bmp to bg, then gives every pixel that holds a count of hits its
// colour; hits null: the background alone. On up to `threads` threads (0:
// as many as the picture can use, one per core at most). False when memory
// for the colour tables cannot be had; bmp is then untouched.
bool paint_counts(BITMAP* bmp, int** hits, int bg, const colour_map& map, int threads);
