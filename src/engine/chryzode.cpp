// The chryzode model: its figure computed into counts per pixel, and drawn.
#include "chryzode.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <memory>
#include <utility>
#include <vector>

#include "colouring.h"
#include "culling.h"
#include "kernels.h"
#include "memory.h"
#include "pixel_map.h"

namespace {

// Residue of a mod m in [0, m), for m >= 1.
int residue(std::int64_t a, int m)
{
    const std::int64_t rem = a % m;
    return int(rem < 0 ? rem + m : rem);
}

// Image of point k: k * n mod m, with n already reduced mod m so that the
// product fits in 64 bits.
int step(int k, int n, int m) { return residue(std::int64_t(k) * n, m); }

// n mod m in [0, m), reduced once and exactly: every finite n draws the
// picture of this residue, whatever its size. fmod is exact; only the sum
// that lifts a negative remainder can round, up to m itself at most, which
// is the residue 0. Not a number for an infinite or undefined n.
double multiplier_residue(double n, int m)
{
    double r = std::fmod(n, double(m));
    if (r < 0)
        r += double(m);
    return r < double(m) ? r + 0.0 : 0.0;   // + 0.0: never -0
}

// The whole multiplier an orbit is walked with, in [0, m). A multiplier with
// decimals has no orbit: the whole part of its residue serves.
int orbit_multiplier(double n, int m)
{
    const double r = multiplier_residue(n, m);
    return r >= 0 && r < double(m) ? int(r) : 0;
}

// Point at the real position t of m around the circle (t = k for point k).
Cpoint on_circle(double t, int m)
{
    const float a = (float(2 * t) * 3.141592f) / float(m);
    return Cpoint(float(std::cos(double(a))), float(-std::sin(double(a))));
}

// What one computation builds before it replaces the model's arrays.
struct figure {
    std::unique_ptr<Cpoint[]> points;   // null: the model's own serve again
    const Cpoint* at = nullptr;         // the points the chords join
    std::unique_ptr<int[]> seq;
    int count = 0;
    std::vector<Cpoint> from, to;   // end points of chord c + 1
};

void place_points(figure& f, int m)
{
    f.points.reset(new Cpoint[m]);
    for (int k = 0; k < m; ++k)
        f.points[k] = on_circle(k, m);
    f.at = f.points.get();
}

// Chord k joins point k to where k * n falls, from the residue r of n: a
// point of the circle for a whole r, computed exactly in integers; between
// two points otherwise, at fmod(k * r, m), in [0, m) since k * r >= 0.
void complete_chords(figure& f, double n, int m)
{
    f.seq.reset(new int[m]);
    f.count = m;
    f.from.resize(std::size_t(m - 1));
    f.to.resize(std::size_t(m - 1));
    const double r = multiplier_residue(n, m);
    const bool whole = whole_multiplier(r);
    const int n_mod_m = whole ? int(r) : 0;
    for (int k = 1; k < m; ++k) {
        f.from[k - 1] = f.at[k];
        if (whole) {
            f.seq[k] = step(k, n_mod_m, m);
            f.to[k - 1] = f.at[f.seq[k]];
            continue;
        }
        const double t = std::fmod(double(k) * r, double(m));
        f.seq[k] = t >= 0 && t < double(m) ? int(t) : 0;
        f.to[k - 1] = on_circle(t, m);
    }
}

// Length of the chord list of the orbit r, r*n, r*n^2, ... mod m, closed at
// the first residue that repeats an earlier one: back at r for an orbit that
// returns, elsewhere for one that falls into a cycle without r (1, 2, 4, 8,
// 6, 2 for n = 2 in m = 10). Brent's cycle finding: no memory, O(m) steps.
// 0 when cancelled on the way.
std::int64_t orbit_count(double n, int m, int r, const std::atomic<bool>* cancel = nullptr)
{
    constexpr std::int64_t steps_per_look = std::int64_t(1) << 22;
    const int k = orbit_multiplier(n, m);
    const int start = residue(r, m);
    std::int64_t power = 1, cycle = 1;
    int tortoise = start, hare = step(start, k, m);
    while (tortoise != hare) {
        if (power == cycle) {
            tortoise = hare;
            power *= 2;
            cycle = 0;
            if (cancel && power >= steps_per_look && *cancel)
                return 0;
        }
        hare = step(hare, k, m);
        ++cycle;
    }
    tortoise = hare = start;
    for (std::int64_t i = 0; i < cycle; ++i)
        hare = step(hare, k, m);
    std::int64_t tail = 0;
    while (tortoise != hare) {
        tortoise = step(tortoise, k, m);
        hare = step(hare, k, m);
        if (++tail % steps_per_look == 0 && cancel && *cancel)
            return 0;
    }
    return tail + cycle + 1;
}

// The orbit's chords; false when cancelled on the way.
bool orbit_chords(figure& f, double n, int m, int r, const std::atomic<bool>& cancel)
{
    const std::int64_t count = orbit_count(n, m, r, &cancel);
    // At most m + 1 residues: only m = INT_MAX can pass the int range,
    // a figure no memory holds.
    if (count == 0 || count > INT_MAX)
        return false;
    const int k = orbit_multiplier(n, m);
    f.seq.reset(new int[std::size_t(m) + 1]());
    f.count = int(count);
    f.seq[0] = residue(r, m);
    for (int i = 1; i < f.count; ++i)
        f.seq[i] = step(f.seq[i - 1], k, m);
    f.from.resize(std::size_t(f.count - 1));
    f.to.resize(std::size_t(f.count - 1));
    for (int j = 1; j < f.count; ++j) {
        f.from[j - 1] = f.at[f.seq[j - 1]];
        f.to[j - 1] = f.at[f.seq[j]];
    }
    return true;
}

std::uint64_t map_bytes(int w, int h)
{
    return std::uint64_t(w) * (sizeof(int*) + std::uint64_t(h) * sizeof(int));
}

}

hit_map::hit_map(int w, int h, int zoom) : w(w), h(h), zoom(zoom)
{
    std::unique_ptr<int*[]> index(new int*[std::size_t(w)]);
    if (w == 0) {
        columns = index.release();
        return;
    }
    // calloc hands large blocks over as untouched zero pages: a big map
    // costs only the pages that are hit.
    int* const cells = static_cast<int*>(std::calloc(std::size_t(w) * std::size_t(h) + 1, sizeof(int)));
    if (!cells)
        throw std::bad_alloc();
    for (int x = 0; x < w; ++x)
        index[x] = cells + std::size_t(x) * std::size_t(h);
    columns = index.release();
}

hit_map::~hit_map()
{
    if (!columns)
        return;
    if (w > 0)
        std::free(columns[0]);
    delete[] columns;
}

hit_map::hit_map(hit_map&& other) noexcept
    : columns(std::exchange(other.columns, nullptr)), w(std::exchange(other.w, 0)), h(std::exchange(other.h, 0)),
      zoom(other.zoom), magnify(other.magnify), cx(other.cx), cy(other.cy)
{
}

hit_map& hit_map::operator=(hit_map&& other) noexcept
{
    if (this != &other) {
        const hit_map released(std::move(*this));
        columns = std::exchange(other.columns, nullptr);
        w = std::exchange(other.w, 0);
        h = std::exchange(other.h, 0);
        zoom = other.zoom;
        magnify = other.magnify;
        cx = other.cx;
        cy = other.cy;
    }
    return *this;
}

std::uint64_t hit_map::bytes() const { return columns ? map_bytes(w, h) : 0; }

void hit_map::clear()
{
    if (columns && w > 0)
        std::fill(columns[0], columns[0] + std::size_t(w) * std::size_t(h), 0);
}

namespace {
int depth_of(BITMAP* bmp) { return bmp ? bitmap_color_depth(bmp) : 32; }
}

Cchryzode::Cchryzode(BITMAP* bmp)
    : bmp(bmp), n(0), m(0), r(0), type(0), zoom(1), magnify(1), cx(0), cy(0),
      fg1(makecol_depth(depth_of(bmp), config::fg1[0], config::fg1[1], config::fg1[2])),
      fg2(makecol_depth(depth_of(bmp), config::fg2[0], config::fg2[1], config::fg2[2])),
      bg(makecol_depth(depth_of(bmp), config::bg[0], config::bg[1], config::bg[2])),
      width(bmp ? bmp->w : 0), height(bmp ? bmp->h : 0), count(0), points(nullptr), points_m(0), seq(nullptr),
      inters(nullptr), inters_n(0), inters_m(0), inters_r(0), inters_type(0), fast(true)
{
}

Cchryzode::~Cchryzode()
{
    delete[] points;
    delete[] seq;
    delete[] inters;
    if (bmp)
        destroy_bitmap(bmp);
}

void Cchryzode::set(double n, int m, int r, int type)
{
    this->n = n;
    this->m = m;
    this->r = r;
    this->type = type;
}

void Cchryzode::set_bmp(BITMAP* bmp)
{
    this->bmp = bmp;
    set_size(bmp->w, bmp->h);
}

void Cchryzode::set_size(int w, int h)
{
    width = w;
    height = h;
}

hit_map Cchryzode::take_counts() { return std::move(hits); }

void Cchryzode::adopt_counts(hit_map counts) { keep_counts(std::move(counts)); }

void Cchryzode::set_colors(int fg1, int fg2, int bg)
{
    this->fg1 = fg1;
    this->fg2 = fg2;
    this->bg = bg;
}

void Cchryzode::set_colour_map(palette_kind palette, scale_kind scale, int scale_max)
{
    this->palette = palette;
    this->scale = scale;
    this->scale_max = scale_max;
}

void Cchryzode::set_zoom(int zoom) { this->zoom = zoom; }

void Cchryzode::set_view(double magnify, double cx, double cy)
{
    this->magnify = magnify;
    this->cx = cx;
    this->cy = cy;
}

pixel_map Cchryzode::mapping() const { return pixel_map(width, height, zoom, magnify, cx, cy); }

void Cchryzode::set_fast(bool fast) { this->fast = fast; }

std::int64_t Cchryzode::pairs() const
{
    return count < 1 ? 0 : pair_count(count - 1);
}

std::int64_t Cchryzode::planned_chords() const
{
    if (m < 1)
        return 0;
    return (type & from_root) ? orbit_count(n, m, r) - 1 : m - 1;
}

std::int64_t Cchryzode::planned_pairs() const
{
    return pair_count(planned_chords());
}

std::uint64_t Cchryzode::calcul_bytes() const
{
    if (m < 1)
        return 0;
    // Everything held at the peak, counted as if held at once: points, seq,
    // the two chord-end lists, what the fast loops add (their grids also
    // serve the counting pass of the drawing), the hit map and, stored, the
    // list; then the page tables and the allocator's slack over all of it.
    const int w = width, h = height;
    const auto bytes_with = [&](std::int64_t chords) {
        std::uint64_t bytes = std::uint64_t(m) * (sizeof(Cpoint) + sizeof(int)) + sizeof(int) +
                              std::uint64_t(chords) * 2 * sizeof(Cpoint) + map_bytes(w, h) +
                              (fast ? fast::scratch_bytes(int(chords), w, h) : 0);
        if (!(type & on_the_fly))
            bytes = saturating_add(bytes, saturating_mul(std::uint64_t(pair_count(chords)), sizeof(Cpoint)));
        return saturating_add(bytes, bytes / 256);
    };
    // An orbit is walked only when its length decides: m alone may show a
    // figure too large, at once.
    if ((type & from_root) && bytes_with(1) > available_memory())
        return bytes_with(1);
    return bytes_with(planned_chords());
}

std::uint64_t Cchryzode::compute_bytes() const
{
    if ((type & on_the_fly) || !list_matches())
        return calcul_bytes();
    return map_bytes(width, height) + (fast ? fast::scratch_bytes(0, width, height) : 0);
}

hit_map Cchryzode::take_map()
{
    if (spare && spare.width() == width && spare.height() == height) {
        hit_map map = std::move(spare);
        map.clear();
        map.set_view(zoom, magnify, cx, cy);
        return map;
    }
    hit_map map(width, height, zoom);
    map.set_view(zoom, magnify, cx, cy);
    return map;
}

void Cchryzode::keep_counts(hit_map counts)
{
    // A small map is cleared faster than a new one is faulted in; a large
    // one is not worth the memory it would hold.
    constexpr std::uint64_t largest_spare = std::uint64_t(1) << 24;
    spare = hits.bytes() <= largest_spare ? std::move(hits) : hit_map();
    hits = std::move(counts);
}

void Cchryzode::keep_list(std::unique_ptr<Cpoint[]> list, std::uint64_t list_pairs)
{
    // A list replaced by one as long is kept for the next, while as much
    // memory again stays free: stepping a stored figure then writes its list
    // into pages already in place, without a fault.
    spare_list.reset();
    const std::uint64_t bytes = saturating_mul(list_pairs, sizeof(Cpoint));
    if (list && !(type & on_the_fly) && list_pairs == std::uint64_t(pairs()) && available_memory() / 2 >= bytes) {
        spare_list = std::move(list);
        spare_list_pairs = list_pairs;
    }
}

bool Cchryzode::calcul()
{
    // A kept list serves only a stored figure with as many pairs.
    if (spare_list && ((type & on_the_fly) || std::uint64_t(planned_pairs()) != spare_list_pairs))
        spare_list.reset();
    const std::uint64_t spare_bytes = spare_list ? spare_list_pairs * sizeof(Cpoint) : 0;
    if (cancel_requested || calcul_bytes() > saturating_add(available_memory(), spare_bytes))
        return false;
    pairs_done = 0;
    pairs_planned = 0;
    figure f;
    hit_map new_map;
    std::unique_ptr<Cpoint[]> new_list;
    try {
        if (m >= 1) {
            // The points depend on m alone: a figure that differs in n or r
            // keeps them.
            if (points && points_m == m)
                f.at = points;
            else
                place_points(f, m);
            if (type & from_root) {
                if (!orbit_chords(f, n, m, r, cancel_requested))
                    return false;
            } else {
                complete_chords(f, n, m);
            }
        }
        const int chords = int(f.from.size());
        pairs_planned = pair_count(chords);
        const work_watch watch{&pairs_done, &cancel_requested};
        const pixel_map map = mapping();
        new_map = take_map();
        bool done;
        if (type & on_the_fly) {
            done = count_pairs_in_view(f.from.data(), f.to.data(), chords, map, new_map.get(), fast, watch);
        } else {
            // The points are counted here rather than when drawn, so that
            // drawing a figure just computed needs no memory and cannot fail.
            if (spare_list) {
                new_list = std::move(spare_list);
            } else {
                new_list.reset(new Cpoint[std::size_t(pair_count(chords))]);
                advise_large_pages(new_list.get(), sizeof(Cpoint) * std::size_t(pair_count(chords)));
            }
            if (fast) {
                done = fast::list_pairs(f.from.data(), f.to.data(), chords, new_list.get(), map, new_map.get(), watch);
            } else {
                done = scalar::list_pairs(f.from.data(), f.to.data(), chords, new_list.get(), watch) &&
                       scalar::count_points(new_list.get(), pair_count(chords), map, new_map.get(), watch);
            }
        }
        if (!done)
            return false;
    } catch (const std::exception&) {
        return false;
    }
    // Nothing can fail from here: replace the model's arrays.
    const std::uint64_t replaced_pairs = inters ? std::uint64_t(pairs()) : 0;
    if (f.points) {
        delete[] points;
        points = f.points.release();
        points_m = m;
    }
    delete[] seq;
    seq = f.seq.release();
    count = f.count;
    // A list left from a stored figure is never read again once the figure
    // is computed on the fly: release it.
    std::unique_ptr<Cpoint[]> replaced(inters);
    inters = new_list.release();
    keep_list(std::move(replaced), replaced_pairs);
    inters_n = n;
    inters_m = m;
    inters_r = r;
    inters_type = type;
    keep_counts(std::move(new_map));
    return true;
}

bool Cchryzode::list_matches() const
{
    return inters && inters_n == n && inters_m == m && inters_r == r && inters_type == type;
}

bool Cchryzode::count_list()
{
    try {
        hit_map map = take_map();
        const work_watch watch{nullptr, &cancel_requested};
        const pixel_map to_pixels = mapping();
        if (!(fast ? fast::count_points : scalar::count_points)(inters, inters ? pairs() : 0, to_pixels, map.get(),
                                                                watch))
            return false;
        keep_counts(std::move(map));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool Cchryzode::compute()
{
    if (list_matches())
        return hits.fits(width, height, zoom, magnify, cx, cy) || count_list();
    return calcul();
}

void Cchryzode::status(char* text) const
{
    write_status(text, config::status_size, n, m, r, type, zoom);
}

bool Cchryzode::render()
{
    // Only a redraw of a stored list at another zoom, view or size is left
    // without its counts.
    if (!(type & on_the_fly) && !hits.fits(bmp->w, bmp->h, zoom, magnify, cx, cy) && !count_list())
        return false;
    // A map made for another bitmap size has nothing to say about this one.
    const bool sized = hits && hits.width() == bmp->w && hits.height() == bmp->h;
    return paint_counts(bmp, sized ? hits.get() : nullptr, bg, colour_map_of(*this), fast ? 0 : 1);
}

bool Cchryzode::rerender()
{
    if ((type & on_the_fly) && !calcul())
        return false;
    return render();
}

figure_counts count_figure(Cchryzode& counter, const figure_request& request)
{
    set_parameters(counter, request.figure);
    counter.set_size(request.w, request.h);
    figure_counts result;
    result.number = request.number;
    result.computed = counter.compute();
    const figure_settings& f = request.figure;
    const bool magnified = f.magnify != 1 || f.cx != 0 || f.cy != 0;
    if (!result.computed && !counter.cancel_requested && !(f.type & on_the_fly) && magnified &&
        counter.calcul_bytes() > available_memory()) {
        // No memory holds the list of every crossing: a magnified view
        // counts them as they come, the same counts.
        counter.set(f.n, f.m, f.r, f.type | on_the_fly);
        result.computed = counter.compute();
    }
    if (result.computed)
        result.hits = counter.take_counts();
    else if (!counter.cancel_requested)
        result.bytes_needed = counter.compute_bytes();
    return result;
}

