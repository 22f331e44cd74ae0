#include "chryzode.h"

#include <allegro/internal/aintern.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <memory>
#include <vector>

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

// Image of point k: k * n mod m, in 64 bits.
int step(int k, int n, int m) { return residue(std::int64_t(k) * n, m); }

struct hits_deleter {
    int w;
    void operator()(int** hits) const { delete_hits(hits, w); }
};
using hits_ptr = std::unique_ptr<int*[], hits_deleter>;

std::uint64_t map_bytes(int w, int h)
{
    return std::uint64_t(w) * (sizeof(int*) + std::uint64_t(h) * sizeof(int));
}

// A hit map of the bitmap's size with the n stored points counted in; null
// when cancelled.
hits_ptr count_stored(const Cpoint* points, std::int64_t n, const BITMAP* bmp, int zoom, bool fast,
                      const std::atomic<bool>& cancel)
{
    hits_ptr map(new_hits(bmp->w, bmp->h), hits_deleter{bmp->w});
    if (!(fast ? fast::count_points : scalar::count_points)(points, n, pixel_map(bmp->w, bmp->h, zoom), map.get(),
                                                            work_watch{nullptr, &cancel}))
        map.reset();
    return map;
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
    for (int k = 0; k < m; ++k) {
        const float a = (float(2 * std::int64_t(k)) * 3.141592f) / float(m);
        f.points[k] = Cpoint(float(std::cos(double(a))), float(-std::sin(double(a))));
    }
    f.at = f.points.get();
}

void complete_chords(figure& f, int n, int m)
{
    f.seq.reset(new int[m]);
    for (int k = 1; k < m; ++k)
        f.seq[k] = step(k, n, m);
    f.count = m;
    f.from.resize(std::size_t(m - 1));
    f.to.resize(std::size_t(m - 1));
    for (int k = 1; k < m; ++k) {
        f.from[k - 1] = f.at[k];
        f.to[k - 1] = f.at[f.seq[k]];
    }
}

// Length of the chord list of the orbit r, r*n, r*n^2, ... mod m, closed at
// the first residue that repeats an earlier one: back at r for an orbit that
// returns, elsewhere for one that falls into a cycle without r (1, 2, 4, 8,
// 6, 2 for n = 2 in m = 10). Brent's cycle finding: no memory, O(m) steps.
int orbit_count(int n, int m, int r)
{
    const int start = residue(r, m);
    int power = 1, cycle = 1;
    int tortoise = start, hare = step(start, n, m);
    while (tortoise != hare) {
        if (power == cycle) {
            tortoise = hare;
            power *= 2;
            cycle = 0;
        }
        hare = step(hare, n, m);
        ++cycle;
    }
    tortoise = hare = start;
    for (int i = 0; i < cycle; ++i)
        hare = step(hare, n, m);
    int tail = 0;
    while (tortoise != hare) {
        tortoise = step(tortoise, n, m);
        hare = step(hare, n, m);
        ++tail;
    }
    return tail + cycle + 1;
}

void orbit_chords(figure& f, int n, int m, int r)
{
    f.seq.reset(new int[std::size_t(m) + 1]());
    f.count = orbit_count(n, m, r);
    f.seq[0] = residue(r, m);
    for (int i = 1; i < f.count; ++i)
        f.seq[i] = step(f.seq[i - 1], n, m);
    f.from.resize(std::size_t(f.count - 1));
    f.to.resize(std::size_t(f.count - 1));
    for (int j = 1; j < f.count; ++j) {
        f.from[j - 1] = f.at[f.seq[j - 1]];
        f.to[j - 1] = f.at[f.seq[j]];
    }
}

// Colour of a pixel hit `count` (>= 1) times: fg1 once, toward fg2 as the
// count grows, by one over its square root.
class ramp {
public:
    ramp(int fg1, int fg2)
        : r1(getr(fg1)), g1(getg(fg1)), b1(getb(fg1)), r2(getr(fg2)), g2(getg(fg2)), b2(getb(fg2))
    {
        for (int count = 1; count < cached; ++count)
            colours[count] = compute(count);
    }

    int operator()(int count) const { return count < cached ? colours[count] : compute(count); }

private:
    int compute(int count) const
    {
        const float s = float(std::sqrt(double(count)));
        // s >= 1, so every quotient lies within -255..255.
        const int R = r2 - int(float(r2 - r1) / s);
        const int G = g2 - int(float(g2 - g1) / s);
        const int B = b2 - int(float(b2 - b1) / s);
        return makecol(R, G, B);
    }

    // Most pixels are hit a few times: their colours are worked out once.
    static constexpr int cached = 1024;
    const int r1, g1, b1, r2, g2, b2;
    int colours[cached];
};

// Writing into the rows of a memory bitmap gives what putpixel gives when
// nothing is clipped and the drawing mode is solid; 24-bit pixels and every
// other case go through putpixel.
bool writes_directly(BITMAP* bmp)
{
    const int depth = bitmap_color_depth(bmp);
    const bool whole = !bmp->clip || (bmp->cl <= 0 && bmp->ct <= 0 && bmp->cr >= bmp->w && bmp->cb >= bmp->h);
    return is_memory_bitmap(bmp) && _drawing_mode == DRAW_MODE_SOLID && whole && depth != 24;
}

void write_pixel(BITMAP* bmp, int depth, int x, int y, int colour)
{
    switch (depth) {
    case 8:
        bmp->line[y][x] = std::uint8_t(colour);
        break;
    case 15:
    case 16:
        reinterpret_cast<std::uint16_t*>(bmp->line[y])[x] = std::uint16_t(colour);
        break;
    default:
        reinterpret_cast<std::uint32_t*>(bmp->line[y])[x] = std::uint32_t(colour);
    }
}

void paint(BITMAP* bmp, int** hits, int fg1, int fg2)
{
    const ramp colour(fg1, fg2);
    const bool direct = writes_directly(bmp);
    const int depth = bitmap_color_depth(bmp);
    for (int x = 0; x < bmp->w; ++x)
        for (int y = 0; y < bmp->h; ++y) {
            // The square root of a count is 0 for no hit alone.
            if (hits[x][y] == 0)
                continue;
            if (direct)
                write_pixel(bmp, depth, x, y, colour(hits[x][y]));
            else
                putpixel(bmp, x, y, colour(hits[x][y]));
        }
}

}

int** new_hits(int w, int h)
{
    std::unique_ptr<int*[]> hits(new int*[std::size_t(w)]);
    if (w == 0)
        return hits.release();
    // calloc hands large blocks over as untouched zero pages: a big map
    // costs only the pages that are hit.
    int* const cells = static_cast<int*>(std::calloc(std::size_t(w) * std::size_t(h) + 1, sizeof(int)));
    if (!cells)
        throw std::bad_alloc();
    for (int x = 0; x < w; ++x)
        hits[x] = cells + std::size_t(x) * std::size_t(h);
    return hits.release();
}

void delete_hits(int** hits, int w)
{
    if (!hits)
        return;
    if (w > 0)
        std::free(hits[0]);
    delete[] hits;
}

Cchryzode::Cchryzode(BITMAP* bmp)
    : bmp(bmp), n(0), m(0), r(0), type(0), zoom(1),
      fg1(makecol(255, 0, 0)), fg2(makecol(255, 255, 0)), bg(makecol(0, 0, 0)),
      count(0), points(nullptr), points_m(0), seq(nullptr), inters(nullptr), hits(nullptr),
      hits_w(0), hits_h(0), hits_zoom(0), spare_hits(nullptr), spare_w(0), spare_h(0), fast(true)
{
}

Cchryzode::~Cchryzode()
{
    delete[] points;
    delete[] seq;
    delete[] inters;
    delete_hits(hits, hits_w);
    delete_hits(spare_hits, spare_w);
    if (bmp)
        destroy_bitmap(bmp);
}

void Cchryzode::set(int n, int m, int r, int type)
{
    this->n = n;
    this->m = m;
    this->r = r;
    this->type = type;
}

void Cchryzode::set_bmp(BITMAP* bmp) { this->bmp = bmp; }

void Cchryzode::set_colors(int fg1, int fg2, int bg)
{
    this->fg1 = fg1;
    this->fg2 = fg2;
    this->bg = bg;
}

void Cchryzode::set_zoom(int zoom) { this->zoom = zoom; }

void Cchryzode::set_fast(bool fast) { this->fast = fast; }

std::int64_t Cchryzode::pairs() const
{
    return count < 1 ? 0 : pair_count(count - 1);
}

int Cchryzode::planned_chords() const
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
    const int chords = planned_chords();
    const int w = bmp->w, h = bmp->h;
    std::uint64_t bytes = std::uint64_t(m) * (sizeof(Cpoint) + sizeof(int)) + sizeof(int) +
                          std::uint64_t(chords) * 2 * sizeof(Cpoint) + map_bytes(w, h) +
                          (fast ? fast::scratch_bytes(chords, w, h) : 0);
    if (!(type & on_the_fly))
        bytes = saturating_add(bytes, saturating_mul(std::uint64_t(pair_count(chords)), sizeof(Cpoint)));
    return saturating_add(bytes, bytes / 256);
}

std::uint64_t Cchryzode::rerender_bytes() const
{
    if (type & on_the_fly)
        return calcul_bytes();
    return map_bytes(bmp->w, bmp->h) + (fast ? fast::scratch_bytes(0, bmp->w, bmp->h) : 0);
}

bool Cchryzode::calcul()
{
    if (cancel_requested || calcul_bytes() > available_memory())
        return false;
    pairs_done = 0;
    figure f;
    hits_ptr new_map(nullptr, hits_deleter{0});
    std::unique_ptr<Cpoint[]> new_list;
    try {
        if (m >= 1) {
            // The points depend on m alone: a figure that differs in n or r
            // keeps them.
            if (points && points_m == m)
                f.at = points;
            else
                place_points(f, m);
            if (type & from_root)
                orbit_chords(f, n, m, r);
            else
                complete_chords(f, n, m);
        }
        const int chords = int(f.from.size());
        const work_watch watch{&pairs_done, &cancel_requested};
        bool done;
        if (type & on_the_fly) {
            const pixel_map map(bmp->w, bmp->h, zoom);
            new_map = hits_ptr(take_hits(bmp->w, bmp->h), hits_deleter{bmp->w});
            done = (fast ? fast::count_pairs : scalar::count_pairs)(f.from.data(), f.to.data(), chords, map, new_map.get(), watch);
        } else {
            // The points are counted here rather than when drawn, so that
            // drawing a figure just computed needs no memory and cannot fail.
            new_list.reset(new Cpoint[std::size_t(pair_count(chords))]);
            if (fast) {
                new_map = hits_ptr(take_hits(bmp->w, bmp->h), hits_deleter{bmp->w});
                done = fast::list_pairs(f.from.data(), f.to.data(), chords, new_list.get(),
                                        pixel_map(bmp->w, bmp->h, zoom), new_map.get(), watch);
            } else {
                done = scalar::list_pairs(f.from.data(), f.to.data(), chords, new_list.get(), watch);
                if (done) {
                    new_map = count_stored(new_list.get(), pair_count(chords), bmp, zoom, false, cancel_requested);
                    done = bool(new_map);
                }
            }
        }
        if (!done)
            return false;
    } catch (const std::exception&) {
        return false;
    }
    // Nothing can fail from here: replace the model's arrays.
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
    delete[] inters;
    inters = new_list.release();
    delete_hits(hits, hits_w);
    hits_w = bmp->w;
    hits_h = bmp->h;
    hits_zoom = zoom;
    hits = new_map.release();
    return true;
}

void Cchryzode::status(char* text) const
{
    if (type & from_root)
        usprintf(text, "Multiplication chryzode of n=%d in m=%d, from root r=%d ; zoom 1:%d", n, m, r, zoom);
    else
        usprintf(text, "Complete multiplication chryzode of n=%d in m=%d ; zoom 1:%d", n, m, zoom);
}

bool Cchryzode::render()
{
    const int w = bmp->w, h = bmp->h;
    // Only a redraw of a stored figure is left without the map of calcul.
    if (!(type & on_the_fly) && !(hits && hits_w == w && hits_h == h && hits_zoom == zoom)) {
        try {
            hits_ptr map = count_stored(inters, inters ? pairs() : 0, bmp, zoom, fast, cancel_requested);
            if (!map)
                return false;
            delete_hits(hits, hits_w);
            hits = map.release();
            hits_w = w;
            hits_h = h;
            hits_zoom = zoom;
        } catch (const std::exception&) {
            return false;
        }
    }
    clear_to_color(bmp, bg);
    // A map made for another bitmap size has nothing to say about this one.
    if (hits && hits_w == w && hits_h == h)
        paint(bmp, hits, fg1, fg2);
    keep_spare();
    return true;
}

int** Cchryzode::take_hits(int w, int h)
{
    if (!spare_hits || spare_w != w || spare_h != h)
        return new_hits(w, h);
    int** const map = spare_hits;
    spare_hits = nullptr;
    std::fill(map[0], map[0] + std::size_t(w) * std::size_t(h), 0);
    return map;
}

void Cchryzode::keep_spare()
{
    // A small map is cleared faster than a new one is faulted in; a large
    // one is not worth the memory it would hold.
    constexpr std::uint64_t largest_spare = std::uint64_t(1) << 24;
    delete_hits(spare_hits, spare_w);
    spare_hits = nullptr;
    if (hits && std::uint64_t(hits_w) * std::uint64_t(hits_h) * sizeof(int) <= largest_spare) {
        spare_hits = hits;
        spare_w = hits_w;
        spare_h = hits_h;
    } else {
        delete_hits(hits, hits_w);
    }
    hits = nullptr;
    hits_w = hits_h = 0;
}

bool Cchryzode::rerender()
{
    if ((type & on_the_fly) && !calcul())
        return false;
    return render();
}
