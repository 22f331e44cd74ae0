// The engine with no display (Allegro's "none" system driver).
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <hwy/highway.h>

#include "chryzode.h"
#include "colouring.h"
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
