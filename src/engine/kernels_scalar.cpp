// The plain loops: the executable definition of what the fast loops must count, pair by pair.
#include "kernels.h"

#include <climits>

namespace {
inline void add_hit(int& cell)
{
    if (cell != INT_MAX)
        ++cell;
}

// Points counted between two looks at the cancel flag: about a millisecond.
constexpr std::int64_t points_per_look = std::int64_t(1) << 20;
}

namespace scalar {

bool count_pairs(const Cpoint* from, const Cpoint* to, int chords,
                 const pixel_map& map, int** hits, const work_watch& watch)
{
    int X, Y;
    for (int j = 1; j < chords; ++j) {
        if (watch.cancelled())
            return false;
        for (int i = 0; i < j; ++i)
            if (map.to_pixel(inter(from[j], to[j], from[i], to[i]), X, Y))
                add_hit(hits[X][Y]);
        watch.add_done(j);
    }
    return !watch.cancelled();
}

bool list_pairs(const Cpoint* from, const Cpoint* to, int chords, Cpoint* out,
                const work_watch& watch)
{
    std::int64_t t = 0;
    for (int j = 1; j < chords; ++j) {
        if (watch.cancelled())
            return false;
        for (int i = 0; i < j; ++i)
            out[t++] = inter(from[j], to[j], from[i], to[i]);
        watch.add_done(j);
    }
    return !watch.cancelled();
}

bool count_points(const Cpoint* points, std::int64_t n, const pixel_map& map,
                  int** hits, const work_watch& watch)
{
    int X, Y;
    for (std::int64_t t = 0; t < n; ++t) {
        if (t % points_per_look == 0 && watch.cancelled())
            return false;
        if (map.to_pixel(points[t], X, Y))
            add_hit(hits[X][Y]);
    }
    return !watch.cancelled();
}

}
