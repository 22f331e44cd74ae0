// Every value the dialogs admit, against the engine: parameters sampled with
// a fixed seed plus every boundary value. Each figure is drawn or refused
// cleanly; counts stay inside the grid; pixels stay inside the colour ramp.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "allegro_none.h"
#include "memory.h"

namespace {

// Pairs computed per figure at most, so that the run stays short under the
// sanitizers; larger figures are checked up to their memory estimate.
constexpr std::int64_t pair_budget = 2'000'000;

struct sample {
    int n, m, r, type, zoom, w, h;
    int fg1[3], fg2[3], bg[3];
};

// A component as the colour dialog hands it over: typed -99..999, clamped.
int component(int typed) { return std::clamp(typed, 0, 255); }

int colour(const int c[3]) { return makecol(component(c[0]), component(c[1]), component(c[2])); }

void expect_sound_figure(const sample& s)
{
    SCOPED_TRACE(testing::Message() << "n=" << s.n << " m=" << s.m << " r=" << s.r << " type=" << s.type
                                    << " zoom=" << s.zoom << " size=" << s.w << "x" << s.h);
    auto model = make_model(s.w, s.h, s.n, s.m, s.r, s.type, s.zoom);
    model->set_colors(colour(s.fg1), colour(s.fg2), colour(s.bg));
    char text[128];
    model->status(text);

    const int chords = model->planned_chords();
    ASSERT_GE(chords, 0);
    ASSERT_LE(chords, std::max(s.m, 0));
    if ((std::int64_t(chords) * (chords - 1)) / 2 > pair_budget) {
        EXPECT_GT(model->calcul_bytes(), 0u);
        return;
    }
    if (model->calcul_bytes() > available_memory()) {
        EXPECT_FALSE(model->calcul());
        return;
    }
    ASSERT_TRUE(model->calcul());
    ASSERT_EQ(model->count, s.m < 1 ? 0 : chords + 1);
    for (int i = (s.type & from_root) ? 0 : 1; i < model->count; ++i)
        ASSERT_TRUE(model->seq[i] >= 0 && model->seq[i] < s.m);
    if (s.type & on_the_fly) {
        ASSERT_NE(model->hits, nullptr);
        std::int64_t sum = 0;
        for (int x = 0; x < s.w; ++x)
            for (int y = 0; y < s.h; ++y) {
                ASSERT_GE(model->hits[x][y], 0);
                sum += model->hits[x][y];
            }
        EXPECT_LE(sum, model->pairs());
    }
    ASSERT_TRUE(model->render());
    EXPECT_EQ(model->hits, nullptr);

    const int f1 = colour(s.fg1), f2 = colour(s.fg2), b = colour(s.bg);
    auto between = [](int v, int a, int c) { return v >= std::min(a, c) && v <= std::max(a, c); };
    for (int x = 0; x < s.w; x += 1 + s.w / 64)
        for (int y = 0; y < s.h; y += 1 + s.h / 64) {
            const int p = getpixel(model->bmp, x, y);
            if (p == b)
                continue;
            ASSERT_TRUE(between(getr(p), getr(f1), getr(f2)) && between(getg(p), getg(f1), getg(f2)) &&
                        between(getb(p), getb(f1), getb(f2)))
                << "pixel " << x << "," << y;
        }
}

TEST(Property, BoundaryValues)
{
    const int numbers[] = {-9999, -1, 0, 1, 2, 3, 7, 99999};
    const int zooms[] = {0, 1, -1, 2, 99999999, -9999999, INT_MAX, INT_MIN};
    const int sizes[][2] = {{1, 1}, {641, 479}, {1024, 768}};
    int k = 0;
    for (int n : numbers)
        for (int m : numbers)
            for (int r : {-9999, 0, 1, 99999})
                for (int type = 0; type < 4; ++type) {
                    const auto& size = sizes[k % 3];
                    sample s{n, m, r, type, zooms[k % 8], size[0], size[1],
                             {-99, 0, 999}, {255, 256, -1}, {0, 128, 255}};
                    ++k;
                    expect_sound_figure(s);
                }
}

TEST(Property, RandomValuesWithAFixedSeed)
{
    std::mt19937 random(20261206);
    auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const int zoom_edges[] = {0, INT_MAX, INT_MIN, 1, -1};
    for (int k = 0; k < 400; ++k) {
        sample s{};
        s.n = in(-9999, 99999);
        // Mostly moduli whose figures fit the pair budget, some of any size.
        s.m = k % 4 == 0 ? in(-9999, 99999) : in(-20, 2000);
        s.r = in(-9999, 99999);
        s.type = in(0, 3);
        s.zoom = k % 5 == 0 ? zoom_edges[in(0, 4)] : in(-9999999, 99999999) / (in(0, 1) ? 1 : 100000);
        s.w = in(1, 1024);
        s.h = in(1, 768);
        for (int i = 0; i < 3; ++i) {
            s.fg1[i] = in(-99, 999);
            s.fg2[i] = in(-99, 999);
            s.bg[i] = in(-99, 999);
        }
        expect_sound_figure(s);
    }
}

}
