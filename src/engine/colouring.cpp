// The colour of a count: the counts of a picture, the scales and the
// palettes, in the plain arithmetic that the painting follows.
#include "colouring.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "chryzode.h"
#include "colour_tables.h"

namespace {

// The ramp at t in [0, 1]: every product lies within -255..255.
rgb ramp_at(double t, const rgb& c1, const rgb& c2)
{
    const float rest = float(1 - t);
    return {c2.r - int(float(c2.r - c1.r) * rest), c2.g - int(float(c2.g - c1.g) * rest),
            c2.b - int(float(c2.b - c1.b) * rest)};
}

int component(double value) { return int(std::lround(value * 255)); }

// A table palette at t in [0, 1].
rgb table_at(palette_kind palette, double t)
{
    const int k = t > 0 ? std::min(int(t * 256), 255) : 0;
    const double* entry = palette_tables[int(palette) - 1][k];
    return {component(entry[0]), component(entry[1]), component(entry[2])};
}

}

rgb ramp_colour(int count, const rgb& c1, const rgb& c2)
{
    // s >= 1, so every quotient lies within -255..255.
    const float s = float(std::sqrt(double(count)));
    return {c2.r - int(float(c2.r - c1.r) / s), c2.g - int(float(c2.g - c1.g) / s),
            c2.b - int(float(c2.b - c1.b) / s)};
}

colour_map colour_map_of(const Cchryzode& model)
{
    const int depth = bitmap_color_depth(model.bmp);
    const auto split = [depth](int c) { return rgb{getr_depth(depth, c), getg_depth(depth, c), getb_depth(depth, c)}; };
    return {model.palette, model.scale, model.scale_max, split(model.fg1), split(model.fg2)};
}

void count_histogram::add(int** hits, int x0, int x1, int h)
{
    for (int x = x0; x < x1; ++x) {
        const int* column = hits[x];
        if (!tallied) {
            for (int y = 0; y < h; ++y)
                top = std::max(top, column[y]);
            continue;
        }
        for (int y = 0; y < h; ++y) {
            const int count = column[y];
            if (count < tally_size)
                ++small[std::size_t(count)];
            else
                large.push_back(count);
        }
    }
}

void count_histogram::add(const count_histogram& other)
{
    for (std::size_t c = 0; c < other.small.size(); ++c)
        small[c] += other.small[c];
    large.insert(large.end(), other.large.begin(), other.large.end());
    top = std::max(top, other.top);
}

void count_histogram::finish()
{
    if (!tallied)
        return;
    // Pixels with no hit are left out of every share.
    small[0] = 0;
    for (int c = 1; c < tally_size; ++c)
        if (small[std::size_t(c)] != 0)
            top = c;
    std::partial_sum(small.begin(), small.end(), small.begin());
    std::sort(large.begin(), large.end());
    if (!large.empty())
        top = large.back();
    pixels = small.back() + std::int64_t(large.size());
}

std::int64_t count_histogram::at_most(int count) const
{
    if (count < tally_size)
        return count < 1 ? 0 : small[std::size_t(count)];
    return small.back() + (std::upper_bound(large.begin(), large.end(), count) - large.begin());
}

int scale_top(const count_histogram& counts, const colour_map& map)
{
    const bool fixed = map.scale_max > 0 && (map.scale == scale_kind::linear || map.scale == scale_kind::log);
    return fixed ? map.scale_max : counts.largest();
}

double scale_position(int count, const count_histogram& counts, const colour_map& map)
{
    const int top = scale_top(counts, map);
    double t = 0;
    switch (map.scale) {
    case scale_kind::sqrt: return 1 - 1 / std::sqrt(double(count));
    case scale_kind::linear: t = top <= 1 ? 0 : double(count - 1) / double(top - 1); break;
    case scale_kind::log: t = top <= 1 ? 0 : std::log(double(count)) / std::log(double(top)); break;
    case scale_kind::eq_hist: {
        const double all = double(counts.hit_pixels());
        if (all == 0)
            return 0;
        return (double(counts.at_most(count - 1)) / all + double(counts.at_most(count)) / all) / 2;
    }
    }
    // A count past a fixed largest one takes the palette's end.
    return std::min(t, 1.0);
}

rgb palette_colour(double t, const colour_map& map)
{
    return map.palette == palette_kind::ramp ? ramp_at(t, map.fg1, map.fg2) : table_at(map.palette, t);
}

int count_at(double t, const count_histogram& counts, const colour_map& map)
{
    // Every scale places a larger count no lower.
    int low = 1, high = std::max(1, scale_top(counts, map));
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (scale_position(middle, counts, map) >= t)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

rgb count_colour(int count, const count_histogram& counts, const colour_map& map)
{
    if (map.palette == palette_kind::ramp && map.scale == scale_kind::sqrt)
        return ramp_colour(count, map.fg1, map.fg2);
    return palette_colour(scale_position(count, counts, map), map);
}
