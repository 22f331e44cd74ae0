// The engine with no display (Allegro's "none" system driver).
#include <array>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <hwy/highway.h>

#include "chryzode.h"
#include "colouring.h"
#include "culling.h"
#include "fingerprint.h"
#include "failing.h"
#include "kernels.h"

namespace {

struct figure {
    int w, h;
    double n;
    int m, r, type, zoom;
};

std::unique_ptr<Cchryzode> model_of(const figure& f, bool fast = true)
{
    auto model = std::make_unique<Cchryzode>(create_bitmap(f.w, f.h));
    model->set(f.n, f.m, f.r, f.type);
    model->set_zoom(f.zoom);
    model->set_fast(fast);
    return model;
}

std::uint64_t picture(const figure& f, bool fast = true)
{
    auto model = model_of(f, fast);
    EXPECT_TRUE(model->calcul() && model->render());
    return fingerprint(model->bmp);
}

// Through the plain and the fast loops, on the fly and stored: the same
// picture, the one it always was.
TEST(Engine, KnownPicturesThroughEveryLoop)
{
    const struct {
        figure f;
        std::uint64_t print;
    } table[] = {
        {{640, 480, 2, 1499, 1, from_root, 1}, 10165025243419369204ull},   // the first figure
        {{641, 479, 3, 700, 0, 0, 1}, 700413733303121244ull},
        {{161, 121, 3, 401, 0, 0, 3}, 3075934983472590739ull},
        {{160, 120, 2, 301, 1, 0, 0}, 309550808958009125ull},               // the background alone
        {{160, 120, 3, 301, 1, 0, -2}, 8159487956308203008ull},
        {{160, 120, 2, 301, 1, 0, INT_MAX}, 7656057149881289125ull},
        {{160, 120, 2, 301, 1, 0, INT_MIN}, 14508987441735003273ull},
        {{160, 120, 2, 10, 1, from_root, 1}, 8074714406774410420ull},       // an orbit that never returns
        {{160, 120, INT_MAX, 997, INT_MIN, from_root, 1}, 18400817147487332959ull},
        {{160, 120, 1, 50, 0, 0, 1}, 16214514119336377114ull},
        {{160, 120, 3, 1, 0, 0, 1}, 309550808958009125ull},
        {{160, 120, 300, 301, 0, 0, 3}, 2891308439445669914ull},
        {{1, 3, 7, 200, 1, 0, -1}, 17008749526579337236ull},
        {{160, 120, 2.5, 301, 0, 0, 1}, 14658767117831905860ull},   // decimals: chords end between the points
        {{160, 120, -2.37, 300, 0, 0, 2}, 6428943097523928786ull},
    };
    for (const auto& row : table)
        for (int mode : {on_the_fly, 0})
            for (bool fast : {false, true}) {
                const figure f{row.f.w, row.f.h, row.f.n, row.f.m, row.f.r, row.f.type | mode, row.f.zoom};
                EXPECT_EQ(picture(f, fast), row.print) << "row " << &row - table << " type " << f.type << " fast " << fast;
            }
}

bool same_hits(int** a, int** b, int w, int h)   // hit maps are one block
{
    return std::memcmp(a[0], b[0], sizeof(int) * std::size_t(w) * std::size_t(h)) == 0;
}

// Thousands of chords, where a last-bit difference in a pixel coordinate
// shows: the fast loops on every instruction set against the plain ones.
TEST(Engine, FastLoopsMatchThePlainOnesAtRandom)
{
    std::mt19937 random(20261207);
    const auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int k = 0; k < 7; ++k) {
        figure f{in(1, 700), in(1, 500), double(in(2, 50)), in(1500, 3000), 1, k % 3 ? 0 : from_root, in(-9, 9)};
        if (k == 6)   // n = 1 at zoom 0: every crossing is the centre, mapped to NaN
            f = {f.w, f.h, 1, f.m, 1, 0, 0};
        if (k == 4)   // chords that end between the points
            f = {f.w, f.h, f.n + 0.37, f.m, 1, 0, f.zoom};
        SCOPED_TRACE(testing::Message() << f.w << "x" << f.h << " n=" << f.n << " m=" << f.m << " zoom=" << f.zoom);
        figure fly = f;
        fly.type |= on_the_fly;
        const auto plain = model_of(fly, false), plain_list = model_of(f, false);
        ASSERT_TRUE(plain->calcul() && plain_list->calcul());
        for (std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
            hwy::SetSupportedTargetsForTest(target);
            SCOPED_TRACE(hwy::TargetName(target));
            const auto fast = model_of(fly), fast_list = model_of(f);
            ASSERT_TRUE(fast->calcul() && fast_list->calcul());
            EXPECT_TRUE(same_hits(plain->hits.get(), fast->hits.get(), f.w, f.h));
            EXPECT_EQ(std::memcmp(plain_list->inters, fast_list->inters, sizeof(Cpoint) * plain_list->pairs()), 0);
            EXPECT_TRUE(same_hits(plain_list->hits.get(), fast_list->hits.get(), f.w, f.h)) << "counted as listed";
            const hit_map fast_counted(f.w, f.h, f.zoom);
            fast::count_points(plain_list->inters, plain_list->pairs(), pixel_map(f.w, f.h, f.zoom), fast_counted.get());
            EXPECT_TRUE(same_hits(plain_list->hits.get(), fast_counted.get(), f.w, f.h));
        }
        hwy::SetSupportedTargetsForTest(0);
    }
}

// Views from the whole circle down to the finest, centred on crossings and
// anywhere else: counted on the fly, where only the pairs that can land in
// the view are intersected, and stored, they give the counts of the plain
// count of every pair of the list. Nearly parallel lines are there in
// plenty: the chords of n = -1 are all parallel, and chords that meet at a
// point of the circle or within a few steps of it.
TEST(Engine, ViewsCountAsEveryPair)
{
    const figure figures[] = {
        {640, 480, 2, 3001, 1, 0, 1},
        {320, 240, 2.37, 2500, 1, 0, 1},
        {201, 333, 2, 2003, 1, from_root, -2},
        {160, 120, 4, 300, 1, 0, 1},            // degenerate chords: their pairs are the centre
        {160, 120, 9, 10, 1, from_root, 1},     // one chord both ways
        {160, 120, 1499, 1500, 1, 0, 1},        // n = -1: parallel chords
        {300, 200, 1.0001, 2000, 1, 0, 1},      // short chords, close to parallel with their neighbours
        {160, 120, 0, 3000, 1, 0, 1},           // every line through (1, 0): crossings there, up to rounding
    };
    struct view {
        double magnify, x, y;
    };
    std::mt19937 random(7);
    const auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    for (const figure& f : figures) {
        std::vector<view> views = {{1, 0, 0},           {3, 0.3, 0.2},          {100000, 0, 0},
                                   {64, 0.001, -0.002}, {20, 0.99, 0.1},        {100000, 1.00002, 0},
                                   {30000, 1.0001, 1e-5}, {10000, 0.9999, 0.0003}};
        const auto reference = model_of(f, false), stored = model_of(f);
        ASSERT_TRUE(reference->calcul() && stored->calcul());
        for (int k = 0; k < 14; ++k) {
            // Half about crossings, half anywhere within reach of some.
            const Cpoint at = reference->inters[std::uniform_int_distribution<std::int64_t>(0, reference->pairs() - 1)(random)];
            const double s = std::pow(10.0, uniform(0, 5));
            const bool anywhere = k % 2 || !(std::fabs(at.x) < 4 && std::fabs(at.y) < 4);
            views.push_back({s, anywhere ? uniform(-1.5, 1.5) : at.x + uniform(-1, 1) / s, anywhere ? uniform(-1.2, 1.2) : at.y});
        }
        for (const view& v : views) {
            SCOPED_TRACE(testing::Message() << "n=" << f.n << " m=" << f.m << " x" << v.magnify << " at " << v.x << "," << v.y);
            reference->set_view(v.magnify, v.x, v.y);
            stored->set_view(v.magnify, v.x, v.y);
            ASSERT_TRUE(reference->compute() && stored->compute());
            EXPECT_TRUE(same_hits(reference->hits.get(), stored->hits.get(), f.w, f.h)) << "stored";
            for (bool fast : {false, true}) {
                const auto fly = model_of({f.w, f.h, f.n, f.m, f.r, f.type | on_the_fly, f.zoom}, fast);
                fly->set_view(v.magnify, v.x, v.y);
                ASSERT_TRUE(fly->calcul());
                EXPECT_TRUE(same_hits(reference->hits.get(), fly->hits.get(), f.w, f.h)) << "on the fly, fast " << fast;
            }
        }
    }
}

// The bound that the skipping rests on, against the crossings of chords at
// angles just past the least: at most the bound, at times a good part of it.
TEST(Engine, CrossingErrorBound)
{
    std::mt19937 random(11);
    const auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    const auto on_circle = [](double t) { return Cpoint(float(std::cos(t)), float(std::sin(t))); };
    double worst = 0;
    for (int k = 0; k < 200000; ++k) {
        const double t1 = uniform(0, 7), t2 = uniform(0, 7), t3 = uniform(0, 7);
        const double turn = uniform(1, 3) * least_sine;
        const Cpoint a = on_circle(t1), b = on_circle(t2), c = on_circle(t3), d = on_circle(t1 + t2 - t3 + 2 * turn);
        const Cpoint p = inter(a, b, c, d);
        const auto line = [](const Cpoint& from, const Cpoint& to) {
            const float la = from.y - to.y, lb = to.x - from.x;
            return std::array<double, 4>{la, lb, la * from.x + lb * from.y, std::hypot(double(la), double(lb))};
        };
        const auto l1 = line(a, b), l2 = line(c, d);
        if (std::fabs(l1[0] * l2[1] - l2[0] * l1[1]) < least_sine * l1[3] * l2[3] || l1[3] < 0x1p-20 || l2[3] < 0x1p-20)
            continue;
        const double rho = std::max(std::fabs(l1[2]) / l1[3], std::fabs(l2[2]) / l2[3]);
        const double bound = crossing_error_bound(rho, std::fabs(double(p.x)) + std::fabs(double(p.y)));
        for (const auto& l : {l1, l2})
            worst = std::max(worst, std::fabs(l[0] * p.x + l[1] * p.y - l[2]) / l[3] / bound);
    }
    EXPECT_LE(worst, 1);
    EXPECT_GT(worst, 0.1);
}

// A model with counts[i] on pixel (i, 0) of a 64x8 bitmap, ready to draw.
std::unique_ptr<Cchryzode> model_with_counts(const std::vector<int>& counts)
{
    auto model = model_of({64, 8, 0, 0, 0, on_the_fly, 1});
    model->hits = hit_map(64, 8, 1);
    for (std::size_t i = 0; i < counts.size(); ++i)
        model->hits.get()[i][0] = counts[i];
    return model;
}

// In every colour depth, and through putpixel where a clip rectangle forbids
// writing into the rows.
TEST(Engine, ColourRamp)
{
    const int counts[] = {1, 2, 4, 100, 65026}, green[] = {0, 75, 128, 230, 255};
    for (int depth : {8, 15, 16, 24, 32})
        for (bool clipped : {false, true}) {
            set_color_depth(depth);
            auto model = model_with_counts({std::begin(counts), std::end(counts)});
            clear_to_color(model->bmp, model->bg);
            if (clipped)
                set_clip_rect(model->bmp, 0, 0, 2, 7);
            ASSERT_TRUE(model->render());
            for (int i = 0; i < 6; ++i)
                EXPECT_EQ(getpixel(model->bmp, i, 0), i == 5 || (clipped && i > 2) ? model->bg : makecol(255, green[i], 0))
                    << depth << " bits, count " << counts[i];
        }
    set_color_depth(32);
    auto model = model_with_counts({1, 4, 100});
    model->set_colors(makecol(200, 10, 90), makecol(100, 250, 30), makecol(1, 2, 3));
    ASSERT_TRUE(model->render());
    BITMAP* b = model->bmp;
    EXPECT_TRUE(getpixel(b, 0, 0) == makecol(200, 10, 90) && getpixel(b, 1, 0) == makecol(150, 130, 60) &&
                getpixel(b, 2, 0) == makecol(110, 226, 36) && getpixel(b, 5, 5) == makecol(1, 2, 3));
    // Every map: each pixel the colour of its count, whatever the threads.
    std::mt19937 random(27);
    for (int depth : {16, 32}) {
        set_color_depth(depth);
        model = model_of({64, 48, 0, 0, 0, on_the_fly, 1});
        const hit_map map(64, 48, 1);
        for (int x = 0; x < 64; ++x)
            for (int y = 0; y < 48; ++y)
                // A quarter with no hit, a row in seven past the tally.
                map.get()[x][y] = std::max(0, std::uniform_int_distribution<int>(-100, 300)(random)) * (y % 7 ? 1 : 999);
        using p = palette_kind;
        using s = scale_kind;
        for (const colour_map& colours :
             {colour_map{p::viridis, s::eq_hist}, colour_map{p::ramp, s::log, 0, {0, 40, 160}}, colour_map{}})
            for (int threads : {1, 3}) {
                ASSERT_TRUE(paint_counts(model->bmp, map.get(), model->bg, colours, threads));
                const count_histogram histogram = counts_for(colours, map.get(), 64, 48);
                for (int x = 0; x < 64; ++x)
                    for (int y = 0; y < 48; ++y) {
                        const int count = map.get()[x][y];
                        const rgb c = count ? count_colour(count, histogram, colours) : rgb{0, 0, 0};
                        ASSERT_EQ(getpixel(model->bmp, x, y), makecol(c.r, c.g, c.b)) << x << "," << y << ": " << count;
                    }
            }
    }
    set_color_depth(32);
    for (auto count : {scalar::count_points, fast::count_points}) {
        const hit_map map(64, 48, 1);
        int** hits = map.get();
        hits[32][24] = INT_MAX - 500;
        const std::vector<Cpoint> centre(1000, Cpoint(0, 0));
        count(centre.data(), 1000, pixel_map(64, 48, 1), hits, {});
        EXPECT_EQ(hits[32][24], INT_MAX) << "counts saturate";
    }
}

// Eight hit pixels, one of a count past the tally, and eight with none: each
// scale's t exactly as its formula gives it, and the palettes' colours at
// known places of their tables.
TEST(Engine, ScalesAndPalettes)
{
    const int counts[] = {1, 1, 2, 3, 3, 5, 9, 70000};
    const hit_map map(8, 2, 1);
    for (int x = 0; x < 8; ++x)
        map.get()[x][1] = counts[x];
    const count_histogram histogram = counts_for({palette_kind::ramp, scale_kind::eq_hist}, map.get(), 8, 2, 3);
    EXPECT_TRUE(histogram.largest() == 70000 && histogram.hit_pixels() == 8);
    EXPECT_TRUE(counts_for({palette_kind::ramp, scale_kind::log}, map.get(), 8, 2).largest() == 70000 &&
                counts_for({palette_kind::ramp, scale_kind::eq_hist}, map.get(), 7, 2).largest() == 9);
    using s = scale_kind;
    const struct {
        scale_kind scale;
        int scale_max, count;
        double t;
    } scales[] = {
        {s::sqrt, 0, 1, 0}, {s::sqrt, 0, 4, 0.5}, {s::sqrt, 9, 16, 0.75},
        {s::linear, 0, 1, 0}, {s::linear, 0, 70000, 1}, {s::linear, 9, 3, 0.25}, {s::linear, 9, 5, 0.5},
        {s::linear, 9, 70000, 1}, {s::linear, 1, 5, 0},
        {s::log, 0, 70000, 1}, {s::log, 16, 2, 0.25}, {s::log, 16, 4, 0.5}, {s::log, 16, 17, 1}, {s::log, 1, 5, 0},
        {s::eq_hist, 0, 1, 0.125}, {s::eq_hist, 0, 2, 0.3125}, {s::eq_hist, 0, 3, 0.5}, {s::eq_hist, 0, 4, 0.625},
        {s::eq_hist, 5, 5, 0.6875}, {s::eq_hist, 0, 9, 0.8125}, {s::eq_hist, 0, 70000, 0.9375},
        {s::eq_hist, 0, 80000, 1},
    };
    for (const auto& row : scales) {
        const colour_map map{palette_kind::ramp, row.scale, row.scale_max};
        EXPECT_EQ(scale_position(row.count, histogram, map), row.t)
            << name_of(row.scale) << " up to " << row.scale_max << ", count " << row.count;
        if (row.t > 0 && row.t < 1 && row.count < 70000) {   // the count a legend writes at t
            EXPECT_EQ(count_at(row.t, histogram, map), row.count) << name_of(row.scale) << " at " << row.t;
        }
    }
    using p = palette_kind;
    const struct {
        palette_kind palette;
        scale_kind scale;
        int count;
        rgb colour;
    } palettes[] = {
        {p::viridis, s::linear, 1, {68, 1, 84}}, {p::viridis, s::linear, 70000, {253, 231, 37}},
        {p::inferno, s::log, 80000, {252, 255, 164}}, {p::magma, s::eq_hist, 70000, {253, 226, 163}},
        {p::plasma, s::sqrt, 4, {204, 71, 120}}, {p::ramp, s::sqrt, 4, {255, 128, 0}},
        {p::ramp, s::eq_hist, 3, {255, 128, 0}}, {p::ramp, s::linear, 1, {255, 0, 0}}, {p::ramp, s::log, 70000, {255, 255, 0}},
    };
    for (const auto& row : palettes)
        EXPECT_EQ(count_colour(row.count, histogram, {row.palette, row.scale}), row.colour)
            << name_of(row.palette) << " " << name_of(row.scale) << ", count " << row.count;
}

TEST(Engine, OnlyAMapOfTheBitmapsSizeIsDrawnAndRerenderComputesOnTheFly)
{
    for (int w : {30, 50}) {
        auto model = model_of({40, 30, 2, 101, 0, on_the_fly, 1});
        ASSERT_TRUE(model->calcul());
        destroy_bitmap(model->bmp);
        model->set_bmp(create_bitmap(w, 30));
        ASSERT_TRUE(model->render());
        EXPECT_EQ(fingerprint(model->bmp), picture({w, 30, 5, 1, 0, 0, 1})) << w;
    }
    for (int mode : {on_the_fly, 0}) {
        auto model = model_of({120, 90, 2, 201, 0, mode, 1});
        ASSERT_TRUE(model->calcul() && model->render());
        model->set(3, 57, 0, mode);
        model->set_zoom(2);
        ASSERT_TRUE(model->rerender());
        EXPECT_EQ(fingerprint(model->bmp), picture({120, 90, mode ? 3.0 : 2.0, mode ? 57 : 201, 0, mode, 2}));
    }
    // Stepping a stored figure writes each list over the one before the
    // last, kept for it.
    auto stepped = model_of({120, 90, 2, 201, 0, 0, 1});
    for (int m : {201, 202})
        for (double n : {2.0, 3.0, 5.0, 2.5}) {
            stepped->set(n, m, 0, 0);
            ASSERT_TRUE(stepped->calcul() && stepped->render());
            EXPECT_EQ(fingerprint(stepped->bmp), picture({120, 90, n, m, 0, 0, 1})) << n << " " << m;
        }
    // A map counted at another zoom is counted again, and a cancel then
    // leaves the picture and the flag, for the caller to clear.
    auto model = model_of({120, 90, 2, 201, 0, 0, 1});
    ASSERT_TRUE(model->calcul() && model->render() && model->calcul());
    const std::uint64_t shown = fingerprint(model->bmp);
    model->set_zoom(2);
    model->cancel_requested = true;
    EXPECT_TRUE(!model->rerender() && model->cancel_requested && fingerprint(model->bmp) == shown);
    model->cancel_requested = false;
    ASSERT_TRUE(model->rerender());
    EXPECT_EQ(fingerprint(model->bmp), picture({120, 90, 2, 201, 0, 0, 2}));
}

// Any finite n draws the picture of its residue mod m, however far from it:
// with decimals, negative, past the int range, and in both modes.
TEST(Engine, EveryMultiplierDrawsItsResidue)
{
    const double residue_and_n[][2] = {{49.375, 2147483646.375}, {49.375, 49.375 - 3 * 301}, {49.375, 49.375 + 301e12},
                                       {49.36999988555908, 2147483646.37}, {188.5, 1e15 + 0.5}, {188, 1e15},
                                       {112.75, -1e15 - 0.25}, {296, -5}, {0, -1e-300}};
    for (const auto& [r, n] : residue_and_n)
        for (int type : {on_the_fly, from_root | on_the_fly})
            EXPECT_EQ(picture({160, 120, n, 301, 1, type, 1}), picture({160, 120, r, 301, 1, type, 1})) << n << " " << type;
}

// Allocations and threads that cannot be had: the model keeps its
// figure, the bitmap its picture.
TEST(Engine, Failures)
{
    for (int mode : {on_the_fly, 0}) {
        auto model = model_of({160, 120, 2, 301, 1, mode, 1});
        ASSERT_TRUE(model->calcul() && model->render());
        const std::uint64_t before = fingerprint(model->bmp);
        long k = 0;
        for (;; ++k) {
            model->set(3, 211, 1, mode ^ from_root);
            const failing_after fail(k);
            if (model->calcul())
                break;
            allocations_left = -1;
            model->set(2, 301, 1, mode);
            ASSERT_TRUE(model->rerender());
            ASSERT_EQ(fingerprint(model->bmp), before) << "allocation " << k;
        }
        EXPECT_GT(k, 3);
    }
    // Two helpers are asked for, started once and kept for every count after.
    for (int started : {0, 1, 3}) {
        threads_left = started;
        fast::set_threads(3);   // ends the threads kept: the next count starts them again
        const figure f{160, 120, 2, 401, 1, 0, 1};
        EXPECT_TRUE(picture(f) == picture(f, false) && picture(f) == picture(f, false)) << started;
        EXPECT_EQ(threads_left, std::max(0, started - 2)) << started;
        threads_left = -1;
    }
    auto model = model_of({64, 48, 2, INT_MAX, 1, 0, 1});
    EXPECT_EQ(model->calcul_bytes(), UINT64_MAX);
    // Refused from m alone, before the orbit of 2^31 - 1 residues is walked.
    model->set(7, INT_MAX, 1, from_root | on_the_fly);
    EXPECT_FALSE(model->calcul());
}

// Multipliers typed, written and stepped: the shortest exact text, and
// steps that land on the decimal itself rather than near it.
TEST(Engine, Multipliers)
{
    const std::pair<const char*, const char*> read[] = {
        {"2", "2"}, {"-7", "-7"}, {"2.37", "2.37"}, {"+.5", "0.5"}, {"5.", "5"}, {"2147483647", "2147483647"},
        {"-2147483647.5", ""}, {"", ""}, {"-", ""}, {".", ""}, {"1e3", ""}, {"1.2.3", ""}, {" 2", ""}, {"2x", ""},
    };
    for (const auto& [typed, written] : read) {
        double n;
        EXPECT_EQ(parse_multiplier(typed, n) ? multiplier_text(n) : "", written) << typed;
    }
    EXPECT_TRUE(multiplier_after(2, 0.01, 37) == 2.37 && multiplier_after(2.37, -0.01, 300) == -0.63 &&
                multiplier_after(-3, 1, 5) == 2 && multiplier_text(multiplier_after(0.1, 0.2, 1)) == "0.3" && multiplier_text(multiplier_after(-0.9, 0.3, 3)) == "0");
    EXPECT_TRUE(whole_multiplier(-2147483647.0) && !whole_multiplier(2.5) && !whole_multiplier(-2147483648.0));
}

// Views as the status line writes them, in decimals that the renderer's
// --center reads back, and the views that can be drawn.
TEST(Engine, Views)
{
    const struct {
        double magnify, x, y;
        const char* text;
        bool valid;
    } table[] = {
        {1, -0.0, 0, "", true},
        {2.44140625, 0.30078125, -0.1953125, "; x2.44140625 at (0.30078125, -0.1953125)", true},
        {100000, -0.0, 1e-7, "; x100000 at (0, 0.0000001)", true},
        {1, 0.5, 0, "; x1 at (0.5, 0)", true},
        {0.999, 0, 0, "", false},
        {100000.5, 0, 0, "", false},
        {2, NAN, 0, "", false},
        {2, 0, -INFINITY, "", false},
        {2, FLT_MAX, -FLT_MAX, "", true},
        {2, 0, 3.5e38, "", false},
    };
    for (const auto& row : table) {
        EXPECT_EQ(view_valid(row.magnify, row.x, row.y), row.valid) << row.magnify << " " << row.x << " " << row.y;
        if (*row.text) {
            EXPECT_EQ(view_text(row.magnify, row.x, row.y), row.text);
        }
    }
}

}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return 1;
    set_color_depth(32);
    fast::set_threads(3);   // several threads on every figure
    return RUN_ALL_TESTS();
}
