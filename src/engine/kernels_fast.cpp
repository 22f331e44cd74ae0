// Placeholder until the vectorised, multi-threaded loops land: the plain loops.
#include "kernels.h"

namespace fast {

void count_pairs(const Cpoint* from, const Cpoint* to, int chords,
                 const pixel_map& map, int** hits)
{
    scalar::count_pairs(from, to, chords, map, hits);
}

void list_pairs(const Cpoint* from, const Cpoint* to, int chords, Cpoint* out)
{
    scalar::list_pairs(from, to, chords, out);
}

void count_points(const Cpoint* points, std::int64_t n, const pixel_map& map,
                  int** hits)
{
    scalar::count_points(points, n, map, hits);
}

}
