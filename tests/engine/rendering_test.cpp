#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "allegro_none.h"

namespace {

// A stored-mode model whose list puts hits[i] points on pixel (i, 0) of a
// 64 x 8 bitmap at zoom 1, and the rest outside.
std::unique_ptr<Cchryzode> model_with_counts(const std::vector<int>& hits)
{
    std::int64_t total = 0;
    for (int k : hits)
        total += k;
    auto model = make_model(64, 8, 0, 0, 0, 0);
    int count = 3;
    while ((std::int64_t(count) - 1) * (count - 2) / 2 < total)
        ++count;
    model->count = count;
    model->inters = new Cpoint[std::size_t(model->pairs())];
    std::int64_t t = 0;
    for (std::size_t i = 0; i < hits.size(); ++i)
        for (int k = 0; k < hits[i]; ++k)   // column i: 32 + 4 x = i + 0.5, row 0: 4 + 4 y = 0.5
            model->inters[t++] = Cpoint((float(i) - 31.5f) / 4, -3.5f / 4);
    for (; t < model->pairs(); ++t)
        model->inters[t] = Cpoint(100, 100);
    return model;
}

TEST(Render, GreenRampFromRedToYellow)
{
    const std::vector<int> counts = {1, 2, 3, 4, 9, 16, 100, 65025, 65026, 200000};
    const std::vector<int> green = {0, 75, 108, 128, 170, 192, 230, 254, 255, 255};
    auto model = model_with_counts(counts);
    ASSERT_TRUE(model->render());
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const int c = getpixel(model->bmp, int(i), 0);
        EXPECT_EQ(getr(c), 255) << counts[i];
        EXPECT_EQ(getg(c), green[i]) << counts[i];
        EXPECT_EQ(getb(c), 0) << counts[i];
    }
    EXPECT_EQ(getpixel(model->bmp, int(counts.size()), 0), model->bg);
    EXPECT_EQ(getpixel(model->bmp, 0, 1), model->bg);
    EXPECT_EQ(model->hits, nullptr);
}

TEST(Render, RampRunsBothWaysAndEqualColoursStayFlat)
{
    auto model = model_with_counts({1, 4, 100});
    model->set_colors(makecol(200, 10, 90), makecol(100, 250, 90), makecol(1, 2, 3));
    ASSERT_TRUE(model->render());
    EXPECT_EQ(getpixel(model->bmp, 0, 0), makecol(200, 10, 90));
    EXPECT_EQ(getpixel(model->bmp, 1, 0), makecol(150, 130, 90));   // 100 - trunc(-100 / 2)
    EXPECT_EQ(getpixel(model->bmp, 2, 0), makecol(110, 226, 90));
    EXPECT_EQ(getpixel(model->bmp, 5, 5), makecol(1, 2, 3));

    model->set_colors(makecol(9, 9, 9), makecol(9, 9, 9), 0);
    ASSERT_TRUE(model->render());
    EXPECT_EQ(getpixel(model->bmp, 2, 0), makecol(9, 9, 9));
}

TEST(Render, StoredAndOnTheFlyGiveTheSamePicture)
{
    for (int root : {0, from_root})
        for (int zoom : {1, 2, -1, 7}) {
            auto stored = make_model(200, 150, 2, 401, 1, root, zoom);
            auto flying = make_model(200, 150, 2, 401, 1, root | on_the_fly, zoom);
            ASSERT_TRUE(stored->calcul() && stored->render());
            ASSERT_TRUE(flying->calcul() && flying->render());
            EXPECT_TRUE(same_pixels(stored->bmp, flying->bmp)) << root << " " << zoom;
        }
}

TEST(Render, ZoomZeroAndFiguresOutsideGiveTheBackground)
{
    for (int type : {0, on_the_fly}) {
        auto model = make_model(40, 30, 2, 101, 0, type, 0);
        model->set_colors(makecol(255, 0, 0), makecol(255, 255, 0), makecol(0, 0, 255));
        ASSERT_TRUE(model->calcul() && model->render());
        for (int x = 0; x < 40; ++x)
            for (int y = 0; y < 30; ++y)
                ASSERT_EQ(getpixel(model->bmp, x, y), makecol(0, 0, 255));
    }
}

TEST(Render, OnTheFlyWithoutAMapDrawsTheBackground)
{
    auto model = make_model(40, 30, 2, 101, 0, on_the_fly);
    ASSERT_TRUE(model->calcul() && model->render());
    clear_to_color(model->bmp, makecol(1, 1, 1));
    ASSERT_TRUE(model->render());   // the map went with the first render
    EXPECT_EQ(getpixel(model->bmp, 20, 15), model->bg);
}

TEST(Render, MapOfAnotherBitmapIsNotDrawn)
{
    auto model = make_model(40, 30, 1, 101, 0, on_the_fly);
    ASSERT_TRUE(model->calcul());
    BITMAP* old = model->bmp;
    model->set_bmp(create_bitmap(20, 10));
    destroy_bitmap(old);
    ASSERT_TRUE(model->render());
    EXPECT_EQ(getpixel(model->bmp, 10, 5), model->bg);
    EXPECT_EQ(model->hits, nullptr);
}

TEST(Rerender, RecomputesOnlyOnTheFly)
{
    // Stored: new parameters without calcul leave the stored figure, which
    // rerender draws at the new zoom.
    auto stored = make_model(120, 90, 2, 201, 0, 0);
    auto expected = make_model(120, 90, 2, 201, 0, 0, 2);
    ASSERT_TRUE(stored->calcul() && stored->render());
    ASSERT_TRUE(expected->calcul() && expected->render());
    stored->set(3, 57, 0, 0);
    stored->set_zoom(2);
    ASSERT_TRUE(stored->rerender());
    EXPECT_TRUE(same_pixels(stored->bmp, expected->bmp));

    // On the fly: rerender computes the new parameters.
    auto flying = make_model(120, 90, 2, 201, 0, on_the_fly);
    auto other = make_model(120, 90, 3, 57, 0, on_the_fly, 2);
    ASSERT_TRUE(flying->calcul() && flying->render());
    ASSERT_TRUE(other->calcul() && other->render());
    flying->set(3, 57, 0, on_the_fly);
    flying->set_zoom(2);
    ASSERT_TRUE(flying->rerender());
    EXPECT_TRUE(same_pixels(flying->bmp, other->bmp));
}

// FNV-1a over the picture's pixels: a fingerprint of the default figures.
std::uint64_t fingerprint(BITMAP* b)
{
    std::uint64_t h = 14695981039346656037ull;
    for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x) {
            h ^= std::uint32_t(getpixel(b, x, y));
            h *= 1099511628211ull;
        }
    return h;
}

TEST(Render, DefaultFiguresAreUnchanged)
{
    struct {
        int type;
        std::uint64_t print;
    } cases[] = {{from_root | on_the_fly, 10165025243419369204ull}, {on_the_fly, 10165025243419369204ull}};
    for (auto& c : cases) {
        auto model = make_model(640, 480, 2, 1499, 1, c.type);
        ASSERT_TRUE(model->calcul() && model->render());
        EXPECT_EQ(fingerprint(model->bmp), c.print) << c.type;
    }
}

}
