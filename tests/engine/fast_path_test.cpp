// The fast loops against the plain ones, bit for bit: on every SIMD target
// compiled in and available on this processor, with one and several
// threads, over figures drawn at random and the hard cases; and the fast
// path's failures: memory and threads that cannot be had.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <hwy/highway.h>

#include "allegro_none.h"
#include "failing_new.h"
#include "kernels.h"
#include "kernels_fast.h"

// Thread starts that fail on demand.
namespace {
std::atomic<int> threads_left{-1};        // -1: start every thread
}

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg)
{
    using create_fn = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const create_fn next = reinterpret_cast<create_fn>(dlsym(RTLD_NEXT, "pthread_create"));
    if (threads_left.load() == 0)
        return EAGAIN;
    if (threads_left.load() > 0)
        --threads_left;
    return next(thread, attr, start, arg);
}

namespace {


struct threads_refused_after {
    explicit threads_refused_after(int k) { threads_left = k; }
    ~threads_refused_after() { threads_left = -1; }
};

struct thread_setting {
    explicit thread_setting(int threads) { fast::set_threads(threads); }
    ~thread_setting() { fast::set_threads(0); }
};

// Calls check() once per SIMD target compiled in and available here, with
// the fast loops dispatched to it, and with each thread setting.
template <class Check>
void on_every_target(const std::vector<int>& thread_counts, const Check& check)
{
    struct restore {
        ~restore() { hwy::SetSupportedTargetsForTest(0); }
    } restore_targets;
    for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        ASSERT_STREQ(fast_detail::target_name(), hwy::TargetName(target));
        for (int threads : thread_counts) {
            SCOPED_TRACE(testing::Message() << hwy::TargetName(target) << ", " << threads << " threads");
            const thread_setting setting(threads);
            check();
        }
    }
}

const std::vector<int> one_and_several = {1, 3};

struct figure {
    int w, h, n, m, r, type, zoom;
};

std::ostream& operator<<(std::ostream& out, const figure& f)
{
    return out << f.w << "x" << f.h << " n=" << f.n << " m=" << f.m << " r=" << f.r << " type=" << f.type
               << " zoom=" << f.zoom;
}

std::unique_ptr<Cchryzode> computed(const figure& f, bool fast)
{
    auto model = make_model(f.w, f.h, f.n, f.m, f.r, f.type, f.zoom);
    model->set_fast(fast);
    EXPECT_TRUE(model->calcul());
    return model;
}

bool same_hits(int** a, int** b, int w, int h)
{
    for (int x = 0; x < w; ++x)
        if (std::memcmp(a[x], b[x], sizeof(int) * std::size_t(h)) != 0)
            return false;
    return true;
}

struct hits_grid {
    int w, h;
    int** cells;
    hits_grid(int w, int h) : w(w), h(h), cells(new_hits(w, h)) {}
    ~hits_grid() { delete_hits(cells, w); }
    bool operator==(const hits_grid& other) const
    {
        return w == other.w && h == other.h && same_hits(cells, other.cells, w, h);
    }
};

// The stored list binned at render time: fast against plain.
void expect_same_binning(const Cpoint* points, std::int64_t n, const pixel_map& map)
{
    hits_grid plain(map.w, map.h), fast(map.w, map.h);
    scalar::count_points(points, n, map, plain.cells);
    fast::count_points(points, n, map, fast.cells);
    EXPECT_TRUE(plain == fast);
}

void expect_same_figure(const figure& f)
{
    SCOPED_TRACE(testing::Message() << f);
    const auto plain = computed(f, false);
    on_every_target(one_and_several, [&] {
        const auto fast = computed(f, true);
        ASSERT_EQ(fast->pairs(), plain->pairs());
        if (f.type & on_the_fly) {
            ASSERT_NE(fast->hits, nullptr);
            EXPECT_TRUE(same_hits(plain->hits, fast->hits, f.w, f.h));
        } else {
            EXPECT_EQ(std::memcmp(plain->inters, fast->inters, sizeof(Cpoint) * std::size_t(plain->pairs())), 0);
            expect_same_binning(plain->inters, plain->pairs(), pixel_map(f.w, f.h, f.zoom));
        }
    });
}

TEST(FastPath, RandomFiguresMatchThePlainPath)
{
    std::mt19937 random(20240601);
    const auto draw = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const int zooms[] = {1, 2, 3, 4, 5, 7, 8, -1, -2, -3, -5, 0, 64, 1000};
    for (int k = 0; k < 40; ++k) {
        figure f;
        f.m = draw(1, 260);
        f.n = draw(0, 2 * f.m);
        f.r = draw(0, f.m - 1);
        f.type = draw(0, 3);
        f.zoom = k % 3 == 0 ? draw(-40, 40) : zooms[draw(0, int(std::size(zooms)) - 1)];
        f.w = draw(1, 320);
        f.h = draw(1, 240);
        expect_same_figure(f);
    }
}

TEST(FastPath, HardFiguresMatchThePlainPath)
{
    const figure hard[] = {
        // zoom: none, mirrored, huge both ways (2 zoom beyond the int range)
        {160, 120, 2, 301, 1, on_the_fly, 0},
        {160, 120, 2, 301, 1, 0, 0},
        {160, 120, 2, 301, 1, on_the_fly, -1},
        {160, 120, 3, 301, 1, on_the_fly, -3},
        {160, 120, 2, 301, 1, on_the_fly, INT_MAX},
        {160, 120, 2, 301, 1, on_the_fly, INT_MIN},
        {160, 120, 2, 301, 1, 0, INT_MIN},
        // every pair on the centre; near-parallel chords
        {160, 120, 1, 300, 0, on_the_fly, 1},
        {160, 120, 300, 301, 0, on_the_fly, 1},
        {160, 120, 300, 301, 0, 0, 3},
        // orbits of 2 (no pair) and 3 (one pair, the centre) chord ends
        {160, 120, 1, 10, 3, from_root | on_the_fly, 1},
        {160, 120, 9, 10, 1, from_root | on_the_fly, 1},
        {160, 120, 9, 10, 1, from_root, 1},
        // one and two points
        {160, 120, 3, 1, 0, on_the_fly, 1},
        {160, 120, 3, 2, 1, on_the_fly, 1},
        {160, 120, 3, 2, 1, from_root, 1},
        // odd bitmaps
        {641, 479, 2, 700, 1, on_the_fly, 1},
        {641, 479, 2, 700, 1, from_root, 1},
        {641, 479, 3, 500, 0, on_the_fly, 5},
        {1, 1, 2, 200, 1, on_the_fly, 1},
        {1, 1, 2, 200, 1, 0, 1},
        {2, 1, 2, 200, 1, on_the_fly, 1},
        {1, 3, 7, 200, 1, on_the_fly, -1},
    };
    for (const figure& f : hard)
        expect_same_figure(f);
}

// Chords and points made of the values where float arithmetic is delicate:
// signed zeros, subnormals, huge values, infinities and NaN.
std::vector<Cpoint> awkward_points(std::size_t n, unsigned seed)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, -0.25f, 1e-40f, -1e-40f, 1e-20f, 3e38f,
                            -3e38f, FLT_MAX, inf, -inf, std::nanf(""), 0.999999f, 7.25f, 1.3333334f};
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(values) - 1);
    std::uniform_real_distribution<float> ordinary(-1.5f, 1.5f);
    std::vector<Cpoint> points(n);
    for (Cpoint& p : points) {
        p.x = random() % 3 ? values[pick(random)] : ordinary(random);
        p.y = random() % 3 ? values[pick(random)] : ordinary(random);
    }
    return points;
}

// Same value, or both not a number: a NaN's payload depends on the order in
// which the compiler takes the operands, and no figure of the program
// produces one.
bool same_float(float a, float b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

const pixel_map awkward_maps[] = {pixel_map(640, 480, 1), pixel_map(641, 479, 3), pixel_map(1, 1, 1),
                                  pixel_map(33, 17, -2), pixel_map(64, 48, 0), pixel_map(64, 48, INT_MIN)};

TEST(FastPath, AwkwardChordsMatchThePlainPath)
{
    const int chords = 150;
    const std::vector<Cpoint> from = awkward_points(chords, 1), to = awkward_points(chords, 2);
    std::vector<Cpoint> plain_list(std::size_t(pair_count(chords))), fast_list(plain_list.size());
    scalar::list_pairs(from.data(), to.data(), chords, plain_list.data());
    on_every_target(one_and_several, [&] {
        fast::list_pairs(from.data(), to.data(), chords, fast_list.data());
        for (std::size_t t = 0; t < plain_list.size(); ++t)
            ASSERT_TRUE(same_float(plain_list[t].x, fast_list[t].x) && same_float(plain_list[t].y, fast_list[t].y))
                << "pair " << t;
        for (const pixel_map& map : awkward_maps) {
            hits_grid plain(map.w, map.h), fast(map.w, map.h);
            scalar::count_pairs(from.data(), to.data(), chords, map, plain.cells);
            fast::count_pairs(from.data(), to.data(), chords, map, fast.cells);
            EXPECT_TRUE(plain == fast) << map.w << "x" << map.h << " divisor " << map.divisor;
        }
    });
}

// Every float from a little before to a little after each edge of the
// bitmap, on both axes, for the maps above.
std::vector<Cpoint> points_along_the_edges(const pixel_map& map)
{
    std::vector<Cpoint> points;
    for (float edge : {-1.0f, 0.0f, float(map.w) - 1, float(map.w)}) {
        // Unit-circle abscissa that maps near the edge; its neighbours on
        // both sides map just inside and just outside.
        float x = (edge - map.cx) * map.divisor / map.scale;
        for (int k = 0; k < 40; ++k)
            x = std::nextafter(x, -FLT_MAX);
        for (int k = 0; k < 80; ++k, x = std::nextafter(x, FLT_MAX))
            points.emplace_back(x, 0.0f);
    }
    for (float edge : {-1.0f, 0.0f, float(map.h) - 1, float(map.h)}) {
        float y = (edge - map.cy) * map.divisor / map.scale;
        for (int k = 0; k < 40; ++k)
            y = std::nextafter(y, -FLT_MAX);
        for (int k = 0; k < 80; ++k, y = std::nextafter(y, FLT_MAX))
            points.emplace_back(0.0f, y);
    }
    return points;
}

TEST(FastPath, AwkwardPointsAndEdgesBinAsThePlainPath)
{
    std::vector<Cpoint> points = awkward_points(5000, 3);
    on_every_target(one_and_several, [&] {
        for (const pixel_map& map : awkward_maps) {
            SCOPED_TRACE(testing::Message() << map.w << "x" << map.h << " divisor " << map.divisor);
            expect_same_binning(points.data(), std::int64_t(points.size()), map);
            const std::vector<Cpoint> edges = points_along_the_edges(map);
            expect_same_binning(edges.data(), std::int64_t(edges.size()), map);
        }
    });
}

TEST(FastPath, CountsSaturateAtIntMax)
{
    const pixel_map map(64, 48, 1);
    const std::vector<Cpoint> centre(1000, Cpoint(0, 0));
    // Chords through the centre, all at different angles: every pair meets there.
    std::vector<Cpoint> from, to;
    for (int k = 0; k < 60; ++k) {
        const float a = float(k) / 20;
        from.emplace_back(std::cos(a), std::sin(a));
        to.emplace_back(-std::cos(a), -std::sin(a));
    }
    on_every_target(one_and_several, [&] {
        for (int start : {INT_MAX - 1500, INT_MAX - 500, INT_MAX}) {
            hits_grid points(64, 48), pairs(64, 48);
            points.cells[32][24] = pairs.cells[32][24] = start;
            points.cells[0][0] = pairs.cells[0][0] = INT_MAX;
            fast::count_points(centre.data(), std::int64_t(centre.size()), map, points.cells);
            fast::count_pairs(from.data(), to.data(), int(from.size()), map, pairs.cells);
            EXPECT_EQ(points.cells[32][24], start > INT_MAX - 1000 ? INT_MAX : start + 1000);
            EXPECT_EQ(pairs.cells[32][24], start > INT_MAX - 1770 ? INT_MAX : start + 1770);
            EXPECT_EQ(points.cells[0][0], INT_MAX);
            EXPECT_EQ(pairs.cells[0][0], INT_MAX);
        }
    });
}

TEST(FastPath, DefaultFigureWithAnyNumberOfThreads)
{
    // As many threads as the work can use, or more than there are cores.
    on_every_target({0, 2, 8}, [&] {
        const figure f{640, 480, 2, 1499, 1, from_root | on_the_fly, 1};
        const auto plain = computed(f, false), fast = computed(f, true);
        EXPECT_TRUE(same_hits(plain->hits, fast->hits, 640, 480));
    });
}

TEST(FastPath, ThreadsThatCannotStartLeaveTheirWorkToTheOthers)
{
    {
        const threads_refused_after none(0);
        EXPECT_THROW(std::thread([] {}), std::system_error);
    }
    const thread_setting four(4);
    for (int type : {on_the_fly, 0}) {
        const figure f{160, 120, 2, 401, 1, type, 1};
        const auto plain = computed(f, false);
        for (int started : {0, 1}) {
            std::unique_ptr<Cchryzode> fast;
            {
                const threads_refused_after refused(started);
                fast = computed(f, true);
            }
            if (type & on_the_fly)
                EXPECT_TRUE(same_hits(plain->hits, fast->hits, 160, 120)) << started;
            else
                EXPECT_EQ(std::memcmp(plain->inters, fast->inters, sizeof(Cpoint) * std::size_t(plain->pairs())), 0)
                    << started;
        }
    }
}

// Fails the k-th allocation of a fast call for every k until the call
// needs fewer: each failure must come out as bad_alloc with every thread
// joined (or the program would end) and nothing leaked (the sanitizer
// build checks), and leave the hit map untouched.
TEST(FastPath, AllocationFailuresPropagateWithEveryThreadJoined)
{
    const figure f{160, 120, 2, 301, 1, on_the_fly, 1};
    const auto plain = computed(f, false);
    const std::vector<Cpoint> from(plain->points + 1, plain->points + f.m), to = [&] {
        std::vector<Cpoint> ends;
        for (int k = 1; k < f.m; ++k)
            ends.push_back(plain->points[plain->seq[k]]);
        return ends;
    }();
    const int chords = f.m - 1;
    std::vector<Cpoint> list(std::size_t(pair_count(chords)));
    const thread_setting three(3);
    const pixel_map map(160, 120, 1);
    const auto expect_failures_then_success = [&](const char* what, const auto& call) {
        SCOPED_TRACE(what);
        int failures = 0;
        for (long k = 0;; ++k) {
            hits_grid hits(160, 120);
            bool done = true;
            try {
                const failing_after fail(k);
                call(hits.cells);
            } catch (const std::bad_alloc&) {
                done = false;
            }
            if (done) {
                EXPECT_FALSE(allocation_failed) << "a failed allocation was swallowed";
                EXPECT_GT(failures, 2);
                return;
            }
            ++failures;
            for (int x = 0; x < 160; ++x)
                for (int y = 0; y < 120; ++y)
                    ASSERT_EQ(hits.cells[x][y], 0) << "allocation " << k;
        }
    };
    expect_failures_then_success("count_pairs", [&](int** hits) {
        fast::count_pairs(from.data(), to.data(), chords, map, hits);
    });
    expect_failures_then_success("list_pairs", [&](int**) { fast::list_pairs(from.data(), to.data(), chords, list.data()); });
    expect_failures_then_success("count_points", [&](int** hits) {
        fast::count_points(list.data(), std::int64_t(list.size()), map, hits);
    });
}

TEST(FastPath, BitmapsTooLargeForTheVectorLoopsGoThePlainWay)
{
    const pixel_map map(4097, 2048, 1);
    const std::vector<Cpoint> points = awkward_points(2000, 4);
    expect_same_binning(points.data(), std::int64_t(points.size()), map);
}

// The drawing pass writes pixels directly where it can: every colour depth
// shows the same ramp as putpixel would draw.
TEST(Paint, EveryColourDepthDrawsTheRamp)
{
    const int counts[] = {1, 2, 4, 100, 65026};
    const int green[] = {0, 75, 128, 230, 255};
    for (int depth : {8, 15, 16, 24, 32}) {
        set_color_depth(depth);
        for (bool clipped : {false, true}) {
            SCOPED_TRACE(testing::Message() << depth << " bits" << (clipped ? ", clipped" : ""));
            auto model = make_model(64, 8, 0, 0, 0, 0);
            model->count = 363;   // 65341 pairs: room for every hit below
            model->inters = new Cpoint[std::size_t(model->pairs())];
            std::int64_t t = 0;
            for (int i = 0; i < 5; ++i)
                for (int k = 0; k < counts[i]; ++k)   // column i, row 0
                    model->inters[t++] = Cpoint((float(i) - 31.5f) / 4, -3.5f / 4);
            while (t < model->pairs())
                model->inters[t++] = Cpoint(100, 100);
            if (clipped) {
                // Outside the clipping rectangle even the background is not laid.
                clear_to_color(model->bmp, model->bg);
                set_clip_rect(model->bmp, 0, 0, 2, 7);
            }
            ASSERT_TRUE(model->render());
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(getpixel(model->bmp, i, 0), clipped && i > 2 ? model->bg : makecol(255, green[i], 0))
                    << "count " << counts[i];
            EXPECT_EQ(getpixel(model->bmp, 5, 0), model->bg);
        }
    }
    set_color_depth(32);
}

}
