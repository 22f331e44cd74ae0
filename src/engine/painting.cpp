// The painting of a hit map into a bitmap: each count's colour worked out
// once, in the bitmap's depth, and the columns shared among threads.
#include "colouring.h"

#include <allegro/internal/aintern.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The map is kept by columns and the bitmap by rows: a band of columns at a
// time reads and writes both along their lines.
constexpr int band = 16;

// Below this many pixels a thread, another costs more than it saves.
constexpr std::int64_t pixels_per_thread = std::int64_t(1) << 18;

int threads_for(int w, int h, int threads)
{
    if (threads > 0)
        return threads;
    const std::int64_t cores = std::max(1u, std::thread::hardware_concurrency());
    return int(std::clamp(std::int64_t(w) * h / pixels_per_thread, std::int64_t(1), cores));
}

// Runs work(worker, x0, x1) over the bands of columns of a w wide picture
// on the calling thread (worker 0) and up to threads - 1 more, each taking
// the next band as it finishes one. A thread that cannot be started leaves
// its bands to the others. work must not throw.
template <class Work>
void over_bands(int w, int threads, const Work& work)
{
    std::atomic<int> next{0};
    const auto worker = [&](int k) {
        for (int x0; (x0 = next.fetch_add(band)) < w;)
            work(k, x0, std::min(w, x0 + band));
    };
    std::vector<std::thread> team;
    try {
        team.reserve(std::size_t(threads));
        for (int k = 1; k < threads; ++k)
            team.emplace_back(worker, k);
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    worker(0);
    for (std::thread& t : team)
        t.join();
}

// Colour of a count under the Part's ramp, in the given depth, each worked
// out when first needed: one for each thread.
class ramp_colours {
public:
    ramp_colours(int depth, const colour_map& map)
        : depth(depth), fg1(map.fg1), fg2(map.fg2), top(makecol_depth(depth, fg2.r, fg2.g, fg2.b)),
          colours(cached, unknown)
    {
    }

    int operator()(int count)
    {
        // Past 255 * 255 hits the square root passes 255, every quotient
        // of the ramp is less than 1 and truncates to 0: fg2 itself.
        if (count >= cached)
            return top;
        int& colour = colours[std::size_t(count)];
        if (colour == unknown) {
            const rgb c = ramp_colour(count, fg1, fg2);
            colour = makecol_depth(depth, c.r, c.g, c.b);
        }
        return colour;
    }

private:
    static constexpr int cached = 255 * 255 + 1;
    static constexpr int unknown = -1;   // no colour value is negative
    int depth;
    rgb fg1, fg2;
    int top;
    std::vector<int> colours;
};

// The colours of the counts a picture holds, in the given depth, worked out
// before the painting and read by all its threads. Without the tally, those
// of the counts past its end are worked out for each pixel.
class count_table {
public:
    count_table(const count_histogram& counts, const colour_map& map, int depth)
        : counts(counts), map(map), depth(depth),
          small(std::size_t(std::min(counts.largest(), count_histogram::tally_size - 1)) + 1)
    {
        counts.for_each_count([&](int count) {
            if (count < count_histogram::tally_size) {
                small[std::size_t(count)] = colour(count);
            } else {
                large_counts.push_back(count);
                large_colours.push_back(colour(count));
            }
        });
    }

    // For a count the picture holds.
    int operator()(int count) const
    {
        if (count < count_histogram::tally_size)
            return small[std::size_t(count)];
        if (!counts.tally())
            return colour(count);
        const auto at = std::lower_bound(large_counts.begin(), large_counts.end(), count);
        return large_colours[std::size_t(at - large_counts.begin())];
    }

private:
    int colour(int count) const
    {
        const rgb c = count_colour(count, counts, map);
        return makecol_depth(depth, c.r, c.g, c.b);
    }

    const count_histogram& counts;
    const colour_map& map;
    const int depth;
    std::vector<int> small;
    std::vector<int> large_counts, large_colours;   // ascending counts
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

template <class Colour>
void paint_band(BITMAP* bmp, int** hits, int x0, int x1, bool direct, Colour& colour)
{
    const int depth = bitmap_color_depth(bmp);
    for (int y = 0; y < bmp->h; ++y)
        for (int x = x0; x < x1; ++x) {
            const int count = hits[x][y];
            // No hit: the background stays.
            if (count == 0)
                continue;
            if (direct)
                write_pixel(bmp, depth, x, y, colour(count));
            else
                putpixel(bmp, x, y, colour(count));
        }
}

}

count_histogram counts_for(const colour_map& map, int** hits, int w, int h, int threads)
{
    threads = threads_for(w, h, threads);
    std::vector<count_histogram> parts(std::size_t(threads), count_histogram(map.scale == scale_kind::eq_hist));
    std::atomic<bool> failed{false};
    over_bands(w, threads, [&](int k, int x0, int x1) {
        try {
            if (!failed)
                parts[std::size_t(k)].add(hits, x0, x1, h);
        } catch (const std::bad_alloc&) {
            failed = true;
        }
    });
    if (failed)
        throw std::bad_alloc();
    for (std::size_t k = 1; k < parts.size(); ++k)
        parts[0].add(parts[k]);
    parts[0].finish();
    return std::move(parts[0]);
}

bool paint_counts(BITMAP* bmp, int** hits, int bg, const colour_map& map, int threads)
{
    const int w = bmp->w, h = bmp->h, depth = bitmap_color_depth(bmp);
    // Only the rows of a memory bitmap may be written from several threads.
    const bool direct = writes_directly(bmp);
    const int painters = direct ? threads_for(w, h, threads) : 1;
    try {
        if (!hits) {
            clear_to_color(bmp, bg);
        } else if (map.palette == palette_kind::ramp && map.scale == scale_kind::sqrt) {
            std::vector<ramp_colours> colours(std::size_t(painters), ramp_colours(depth, map));
            clear_to_color(bmp, bg);
            over_bands(w, painters, [&](int k, int x0, int x1) {
                paint_band(bmp, hits, x0, x1, direct, colours[std::size_t(k)]);
            });
        } else {
            const count_histogram counts = counts_for(map, hits, w, h, threads);
            const count_table colours(counts, map, depth);
            clear_to_color(bmp, bg);
            over_bands(w, painters, [&](int, int x0, int x1) { paint_band(bmp, hits, x0, x1, direct, colours); });
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
