#include "kernels.h"

#include <climits>

namespace {
inline void add_hit(int& cell)
{
    if (cell != INT_MAX)
        ++cell;
}
}

namespace scalar {

void count_pairs(const Cpoint* from, const Cpoint* to, int chords,
                 const pixel_map& map, int** hits, pair_counter* done)
{
    int X, Y;
    for (int j = 1; j < chords; ++j) {
        for (int i = 0; i < j; ++i)
            if (map.to_pixel(inter(from[j], to[j], from[i], to[i]), X, Y))
                add_hit(hits[X][Y]);
        if (done)
            done->fetch_add(j, std::memory_order_relaxed);
    }
}

void list_pairs(const Cpoint* from, const Cpoint* to, int chords, Cpoint* out,
                pair_counter* done)
{
    std::int64_t t = 0;
    for (int j = 1; j < chords; ++j) {
        for (int i = 0; i < j; ++i)
            out[t++] = inter(from[j], to[j], from[i], to[i]);
        if (done)
            done->fetch_add(j, std::memory_order_relaxed);
    }
}

void count_points(const Cpoint* points, std::int64_t n, const pixel_map& map,
                  int** hits)
{
    int X, Y;
    for (std::int64_t t = 0; t < n; ++t)
        if (map.to_pixel(points[t], X, Y))
            add_hit(hits[X][Y]);
}

}
