// Counting the pairs of chords in a magnified view: the chords whose line
// passes near the view are intersected with each other by the usual loops;
// a pair with one line far from the view is skipped unless the two lines are
// nearly parallel, when its crossing is computed on its own.
//
// Why a skipped pair cannot land in the view. Let a, b, c be the float
// coefficients of a chord's line as inter() forms them (a = from.y - to.y,
// b = to.x - from.x, c = a * from.x + b * from.y), L the exact line
// a x + b y = c, n = |(a, b)| and rho = |c| / n. For two lines 1 and 2,
// inter() computes in float Nx = c1 b2 - c2 b1, Ny = a1 c2 - a2 c1 and
// D = a1 b2 - a2 b1, each product and difference rounded (u = 2^-24,
// eta = 2^-150 for the products that fall below the normal range), then
// x = Nx / D, y = Ny / D. With k = 2u + u^2:
//   |Nx - Nx*| <= k (|c1 b2| + |c2 b1|) + 4 eta, and so for Ny and D,
// where (Nx*, Ny*, D*) is the exact cross product of (a1, b1, -c1) and
// (a2, b2, -c2), on which a1 Nx* + b1 Ny* - c1 D* = 0 exactly. Hence
//   a1 x + b1 y - c1 = (a1 dNx + b1 dNy - c1 dD) / D + a1 x e + b1 y e'
// with |e|, |e'| <= u / (1 - u) from the two divisions, and
//   |a1 dNx + b1 dNy - c1 dD| <= k M + 4 eta (|a1| + |b1| + |c1|),
//   M = 2 |c1| (|a1 b2| + |a2 b1|) + 2 |a1 b1| |c2| <= n1 n2 (2 |c1|) + n1^2 |c2|.
// If |D*| >= sigma n1 n2 (the lines are not nearly parallel), then
// |D| >= (sigma - k) n1 n2 - 4 eta, which for n1, n2 >= 2^-20 is at least
// (sigma - 2k) n1 n2; D is then not zero (no centre from such a pair) and
// the distance from (x, y) to L1 is at most
//   E = k (2 rho1 + rho2) / (sigma - 2k) + 2u (|x| + |y|) + 1e-20.
// So if (x, y) maps inside, it lies in the box V of every point that maps
// inside, and L1 passes within E of V. A pair one of whose lines misses V
// enlarged by E on every side, the other being classifiable (n >= 2^-20),
// and whose lines are not nearly parallel, cannot land in the view. Below,
// E is doubled, and the tests on lines and boxes in double precision are
// given room far beyond their rounding.
//
// sigma = 2^-14 weighs the two costs: pairs within sigma of parallel are
// about 2 sigma / pi of all, and E (about 5e-3 at rho = 1) widens the view.
#include "culling.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr double u = 0x1p-24;
constexpr double k = 2 * u + u * u;
constexpr double sigma = least_sine;
// Buckets of directions at least this wide hold every pair within sigma of
// parallel in neighbouring buckets: such lines are less than asin(sigma) <
// 1.001 sigma apart in angle, and so in direction() (below).
constexpr double bucket_width = 1.01 * sigma;
// Shorter lines (degenerate chords among them) have no direction to speak of:
// they are intersected with every line.
constexpr double min_norm = 0x1p-20;
// The view is worth culling for when it is smaller than a quarter of the
// circle; it must lie well within this box for the bounds above to hold
// with the room they are given.
constexpr double largest_half_height = 0.5, box = 8;

enum class line_class : unsigned char { near, far, free };

struct box_2d {
    double x0, x1, y0, y1;
};

// Every point that the map takes inside the bitmap lies in this box: the
// pixel tests pass only within one pixel of the bitmap, and the four float
// roundings of the mapping change a coordinate by far less than 1e-5 of it.
bool view_box(const pixel_map& map, box_2d& v)
{
    const double d = std::fabs(double(map.divisor)), s = map.scale;
    if (!(d > 0) || !(s > 0) || !std::isfinite(d / s))
        return false;
    const double reach_x = std::max(double(map.cx) + 1, double(map.w) - map.cx) + 1;
    const double reach_y = std::max(double(map.cy) + 1, double(map.h) - map.cy) + 1;
    const double hx = reach_x * d / s * (1 + 1e-5), hy = reach_y * d / s * (1 + 1e-5);
    v = {map.ox - hx, map.ox + hx, map.oy - hy, map.oy + hy};
    return hy <= largest_half_height;
}

bool inside_box(const box_2d& b)
{
    return b.x0 >= -box && b.x1 <= box && b.y0 >= -box && b.y1 <= box;
}

// A chord's line as inter() forms it, with its size and direction.
struct line {
    float a, b, c;
    double n;       // |(a, b)|
    double angle;   // direction() of (a, b)
};

// The direction of (a, b) modulo pi as a pseudo-angle in [0, 2), cheaper
// than atan2: with b >= 0, 1 - a / (|a| + b), which grows with the angle t
// by 1 / (|cos t| + sin t)^2, between 1/2 and 1 per radian, and comes back
// to 0 at t = pi. Two directions t apart are thus at most t apart here,
// round the circle of length 2; the double rounding is far below 1e-12.
double direction(float a, float b)
{
    double x = a, y = b;
    if (y < 0 || (y == 0 && x < 0)) {
        x = -x;
        y = -y;
    }
    return 1 - x / (std::fabs(x) + y);
}

line line_of(const Cpoint& from, const Cpoint& to)
{
    line l;
    l.a = from.y - to.y;
    l.b = to.x - from.x;
    l.c = l.a * from.x + l.b * from.y;
    l.n = std::sqrt(double(l.a) * l.a + double(l.b) * l.b);
    l.angle = 0;
    return l;
}

// Whether the line misses the box: its value a x + b y - c at the box's
// centre exceeds what it can change by within the box, with room for the
// double rounding (within the box, far below 1e-9 n).
bool misses(const line& l, const box_2d& b)
{
    const double x = (b.x0 + b.x1) / 2, y = (b.y0 + b.y1) / 2, hx = (b.x1 - b.x0) / 2, hy = (b.y1 - b.y0) / 2;
    const double at_centre = double(l.a) * x + double(l.b) * y - double(l.c);
    return std::fabs(at_centre) > std::fabs(double(l.a)) * hx + std::fabs(double(l.b)) * hy + 1e-9 * l.n;
}

// Whether |D*| may be below sigma n1 n2: the products of floats are exact
// in double, the difference and the norms err by far less than 1e-9.
template <class Line>
bool nearly_parallel(const Line& p, const Line& q)
{
    const double det = double(p.a) * q.b - double(q.a) * p.b;
    return std::fabs(det) < sigma * (1 + 1e-9) * p.n * q.n;
}

void add_hit(int& cell)
{
    if (cell != INT_MAX)
        ++cell;
}

// The classifiable chords sorted by direction into buckets at least
// bucket_width wide, each with what the test of parallels reads, in the
// order they are visited in.
struct direction_buckets {
    struct entry {
        float a, b;
        double n;
        int chord;
        bool far;
    };
    int count = std::max(3, int(2 / bucket_width));
    std::vector<int> start, next;
    std::vector<entry> entries;

    void build(const std::vector<line>& lines, const std::vector<line_class>& cls)
    {
        start.assign(std::size_t(count) + 1, 0);
        for (std::size_t c = 0; c < lines.size(); ++c)
            if (cls[c] != line_class::free)
                ++start[std::size_t(of(lines[c])) + 1];
        for (int b = 0; b < count; ++b)
            start[std::size_t(b) + 1] += start[std::size_t(b)];
        entries.resize(std::size_t(start[std::size_t(count)]));
        next.assign(start.begin(), start.end() - 1);
        for (std::size_t c = 0; c < lines.size(); ++c)
            if (cls[c] != line_class::free) {
                const line& l = lines[c];
                entries[std::size_t(next[std::size_t(of(l))]++)] = {l.a, l.b, l.n, int(c), cls[c] == line_class::far};
            }
    }

    int of(const line& l) const { return std::min(count - 1, int(l.angle * (count / 2.0))); }
    int size(int b) const { return start[std::size_t(b) + 1] - start[std::size_t(b)]; }
    // The entries of bucket b and its two neighbours, round the circle.
    template <class Visit>
    void visit_around(int b, const Visit& visit) const
    {
        for (int d = -1; d <= 1; ++d) {
            const int k = (b + d + count) % count;
            for (int t = start[std::size_t(k)]; t < start[std::size_t(k) + 1]; ++t)
                visit(entries[std::size_t(t)]);
        }
    }
    // Pairs with a far chord that the buckets make look at.
    std::int64_t candidates() const
    {
        std::int64_t n = 0;
        for (int b = 0; b < count; ++b) {
            std::int64_t far = 0;
            for (int t = start[std::size_t(b)]; t < start[std::size_t(b) + 1]; ++t)
                far += entries[std::size_t(t)].far;
            if (far > 0)
                n += far * (size((b + count - 1) % count) + size(b) + size((b + 1) % count));
        }
        return n;
    }
};

// Pair (j, i) as the pair loops take it, the later chord first.
void count_pair(const Cpoint* from, const Cpoint* to, int j, int i, const pixel_map& map, int** hits)
{
    if (j < i)
        std::swap(i, j);
    int X, Y;
    if (map.to_pixel(inter(from[j], to[j], from[i], to[i]), X, Y))
        add_hit(hits[X][Y]);
}

bool count_all(const Cpoint* from, const Cpoint* to, int chords, const pixel_map& map, int** hits, bool fast,
               const work_watch& watch)
{
    return (fast ? fast::count_pairs : scalar::count_pairs)(from, to, chords, map, hits, watch);
}

}

double crossing_error_bound(double rho, double reach)
{
    return k * 3 * rho * (1 + 1e-9) / (sigma - 2 * k) + 2 * u * (reach + 1) + 1e-20;
}

bool count_pairs_in_view(const Cpoint* from, const Cpoint* to, int chords, const pixel_map& map, int** hits,
                         bool fast, const work_watch& watch)
{
    box_2d v;
    if (chords < 2 || !view_box(map, v) || !inside_box(v))
        return count_all(from, to, chords, map, hits, fast, watch);

    // Kept from one count to the next on the same thread, as in an animation
    // or a drag: their pages are faulted in once.
    thread_local struct {
        std::vector<line> lines;
        std::vector<line_class> cls;
        std::vector<Cpoint> kept_from, kept_to;
        std::vector<int> far, free_lines;
        direction_buckets buckets;
    } scratch;
    // Beyond this many chords, the scratch is worth more than its faults.
    constexpr int largest_kept = 1 << 17;
    struct release_large {
        decltype(scratch)& kept;
        int chords;
        ~release_large()
        {
            if (chords > largest_kept)
                kept = {};
        }
    } release{scratch, chords};
    std::vector<line>& lines = scratch.lines;
    std::vector<line_class>& cls = scratch.cls;
    lines.resize(std::size_t(chords));
    cls.assign(std::size_t(chords), line_class::free);
    double rho = 0;
    for (int c = 0; c < chords; ++c) {
        line& l = lines[std::size_t(c)] = line_of(from[c], to[c]);
        if (l.n >= min_norm) {
            cls[std::size_t(c)] = line_class::far;
            rho = std::max(rho, std::fabs(double(l.c)) / l.n);
        }
    }
    const double reach = std::max(std::fabs(v.x0), std::fabs(v.x1)) + std::max(std::fabs(v.y0), std::fabs(v.y1));
    const double e = 2 * crossing_error_bound(rho, reach);
    const box_2d wide{v.x0 - e, v.x1 + e, v.y0 - e, v.y1 + e};
    if (!inside_box(wide))
        return count_all(from, to, chords, map, hits, fast, watch);

    // The chords kept for the usual loops: those near the view, and those
    // without a direction.
    std::vector<Cpoint>&kept_from = scratch.kept_from, &kept_to = scratch.kept_to;
    std::vector<int>&far = scratch.far, &free_lines = scratch.free_lines;
    kept_from.clear();
    kept_to.clear();
    far.clear();
    free_lines.clear();
    for (int c = 0; c < chords; ++c) {
        line_class& kind = cls[std::size_t(c)];
        if (kind == line_class::far && !misses(lines[std::size_t(c)], wide))
            kind = line_class::near;
        if (kind == line_class::far) {
            far.push_back(c);
            continue;
        }
        if (kind == line_class::free)
            free_lines.push_back(c);
        kept_from.push_back(from[c]);
        kept_to.push_back(to[c]);
    }
    const std::int64_t all = pair_count(chords), kept = pair_count(std::int64_t(kept_from.size()));
    const std::int64_t with_free = std::int64_t(far.size()) * std::int64_t(free_lines.size());
    if (kept + with_free > all / 2)
        return count_all(from, to, chords, map, hits, fast, watch);

    for (std::size_t c = 0; c < lines.size(); ++c)
        if (cls[c] != line_class::free)
            lines[c].angle = direction(lines[c].a, lines[c].b);
    direction_buckets& buckets = scratch.buckets;
    buckets.build(lines, cls);
    if (kept + with_free + buckets.candidates() > all / 2)
        return count_all(from, to, chords, map, hits, fast, watch);

    watch.add_done(all - kept);
    if (!count_all(kept_from.data(), kept_to.data(), int(kept_from.size()), map, hits, fast, watch))
        return false;
    for (int f : far)
        for (int c : free_lines)
            count_pair(from, to, f, c, map, hits);
    // Each pair of far chords once, from its earlier chord.
    for (int bucket = 0; bucket < buckets.count; ++bucket) {
        if (bucket % 1024 == 0 && watch.cancelled())
            return false;
        for (int t = buckets.start[std::size_t(bucket)]; t < buckets.start[std::size_t(bucket) + 1]; ++t) {
            const direction_buckets::entry& f = buckets.entries[std::size_t(t)];
            if (!f.far)
                continue;
            buckets.visit_around(bucket, [&](const direction_buckets::entry& c) {
                if ((!c.far || c.chord > f.chord) && nearly_parallel(f, c))
                    count_pair(from, to, f.chord, c.chord, map, hits);
            });
        }
    }
    return !watch.cancelled();
}
