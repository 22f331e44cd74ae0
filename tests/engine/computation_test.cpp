#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "allegro_none.h"
#include "memory.h"
#include "pixel_map.h"

namespace {

std::vector<int> seq_of(const Cchryzode& model, int from, int to)
{
    return std::vector<int>(model.seq + from, model.seq + to);
}

std::int64_t total_hits(const Cchryzode& model)
{
    std::int64_t sum = 0;
    for (int x = 0; x < model.hits_w; ++x)
        for (int y = 0; y < model.hits_h; ++y)
            sum += model.hits[x][y];
    return sum;
}

TEST(ChordList, CompleteMode)
{
    auto model = make_model(64, 48, 2, 10, 0, 0);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(model->count, 10);
    EXPECT_EQ(seq_of(*model, 1, 10), (std::vector<int>{2, 4, 6, 8, 0, 2, 4, 6, 8}));
    EXPECT_EQ(model->pairs(), 36);
}

TEST(ChordList, OrbitsThatReturnToTheRoot)
{
    auto model = make_model(64, 48, 2, 7, 1, from_root);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(model->count, 4);
    EXPECT_EQ(seq_of(*model, 0, 8), (std::vector<int>{1, 2, 4, 1, 0, 0, 0, 0}));

    model->set(3, 10, 1, from_root);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(model->count, 5);
    EXPECT_EQ(seq_of(*model, 0, 5), (std::vector<int>{1, 3, 9, 7, 1}));
    EXPECT_EQ(model->pairs(), 6);

    model->set(9, 10, 1, from_root);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(model->count, 3);

    for (auto [n, r] : {std::pair{5, 0}, std::pair{1, 4}}) {
        model->set(n, 10, r, from_root);
        ASSERT_TRUE(model->calcul());
        EXPECT_EQ(model->count, 2) << "n=" << n << " r=" << r;
        EXPECT_EQ(model->pairs(), 0);
    }
}

TEST(ChordList, OrbitThatNeverReturnsIsClosedAtItsFirstRepeat)
{
    auto model = make_model(64, 48, 2, 10, 1, from_root);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(model->count, 6);
    EXPECT_EQ(seq_of(*model, 0, 11), (std::vector<int>{1, 2, 4, 8, 6, 2, 0, 0, 0, 0, 0}));
    // n = 0 from r = 3: 3 -> 0 -> 0.
    model->set(0, 10, 3, from_root);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(model->count, 3);
    EXPECT_EQ(seq_of(*model, 0, 3), (std::vector<int>{3, 0, 0}));
}

TEST(ChordList, ValuesOutsideTheirRangeGiveTheFigureOfTheirResidue)
{
    auto model = make_model(64, 48, -8, 10, 0, 0);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(seq_of(*model, 1, 10), (std::vector<int>{2, 4, 6, 8, 0, 2, 4, 6, 8}));

    model->set(-5, 7, -6, from_root);   // n = 2, r = 1 in 7
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(seq_of(*model, 0, 4), (std::vector<int>{1, 2, 4, 1}));
    model->set(2, 7, 15, from_root);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(seq_of(*model, 0, 4), (std::vector<int>{1, 2, 4, 1}));

    // k * n beyond 32 bits.
    model->set(INT_MAX, 997, INT_MIN, from_root);
    ASSERT_TRUE(model->calcul());
    for (int i = 0; i < model->count; ++i) {
        ASSERT_GE(model->seq[i], 0);
        ASSERT_LT(model->seq[i], 997);
    }
}

TEST(ChordList, NoModulusGivesAnEmptyFigure)
{
    for (int m : {0, -1, INT_MIN})
        for (int type : {0, 1, 2, 3}) {
            auto model = make_model(64, 48, 2, m, 1, type);
            ASSERT_TRUE(model->calcul());
            EXPECT_EQ(model->count, 0);
            EXPECT_EQ(model->pairs(), 0);
            ASSERT_TRUE(model->render());
            for (int x = 0; x < 64; x += 7)
                EXPECT_EQ(getpixel(model->bmp, x, 24), model->bg);
        }
}

TEST(ChordList, OnePoint)
{
    auto model = make_model(64, 48, 3, 1, 0, 0);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(model->count, 1);
    EXPECT_EQ(model->pairs(), 0);
    EXPECT_EQ(model->points[0].x, 1.0f);
}

TEST(OnTheFly, MultiplierOneSendsEveryPairToTheCentre)
{
    auto model = make_model(640, 480, 1, 50, 0, on_the_fly);
    ASSERT_TRUE(model->calcul());
    ASSERT_NE(model->hits, nullptr);
    EXPECT_EQ(model->hits[320][240], 48 * 49 / 2);
    EXPECT_EQ(total_hits(*model), 48 * 49 / 2);
}

TEST(OnTheFly, TriangleMeetsAtItsVertices)
{
    auto model = make_model(640, 480, 2, 7, 1, from_root | on_the_fly);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(total_hits(*model), 3);
    // The pairs meet, up to rounding, at points 2, 1 and 4 of the circle.
    for (int k : {1, 2, 4}) {
        const double a = 2 * 3.14159265358979 * k / 7;
        const int X = int(320 + 240 * std::cos(a)), Y = int(240 - 240 * std::sin(a));
        int near = 0;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                near += model->hits[X + dx][Y + dy];
        EXPECT_EQ(near, 1) << "point " << k;
    }
}

TEST(Stored, ListFollowsThePairOrder)
{
    auto model = make_model(64, 48, 2, 7, 1, from_root);
    ASSERT_TRUE(model->calcul());
    EXPECT_NE(model->hits, nullptr);   // the points are counted already
    const Cpoint* p = model->points;
    // Pairs (2, 1), (3, 1), (3, 2): chords 1->2, 2->4, 4->1.
    const Cpoint expected[] = {inter(p[2], p[4], p[1], p[2]), inter(p[4], p[1], p[1], p[2]),
                               inter(p[4], p[1], p[2], p[4])};
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(model->inters[t].x, expected[t].x);
        EXPECT_EQ(model->inters[t].y, expected[t].y);
    }
    EXPECT_NEAR(model->inters[0].x, p[2].x, 1e-5);
    EXPECT_NEAR(model->inters[1].y, p[1].y, 1e-5);
    EXPECT_NEAR(model->inters[2].x, p[4].x, 1e-5);
}

TEST(Stored, RepeatedComputationIsBitIdentical)
{
    auto model = make_model(64, 48, 3, 300, 0, 0);
    ASSERT_TRUE(model->calcul());
    std::vector<Cpoint> first(model->inters, model->inters + model->pairs());
    ASSERT_TRUE(model->calcul());
    ASSERT_EQ(model->pairs(), std::int64_t(first.size()));
    EXPECT_EQ(std::memcmp(first.data(), model->inters, first.size() * sizeof(Cpoint)), 0);
}

TEST(Stored, OnTheFlyComputationReleasesAnOldList)
{
    auto model = make_model(64, 48, 3, 300, 0, 0);
    ASSERT_TRUE(model->calcul());
    ASSERT_NE(model->inters, nullptr);
    model->set(3, 300, 0, on_the_fly);
    ASSERT_TRUE(model->calcul());
    EXPECT_EQ(model->inters, nullptr);
}

TEST(Memory, ListLargerThanTheMachineIsRefusedAndTheFigureKept)
{
    auto model = make_model(64, 48, 2, 1499, 1, from_root);
    ASSERT_TRUE(model->calcul());
    const Cpoint* points = model->points;
    const int* seq = model->seq;
    const Cpoint* inters = model->inters;
    const int count = model->count;
    model->set(2, 99999, 1, 0);
    if (model->calcul_bytes() <= available_memory())
        GTEST_SKIP() << "this machine could hold the list";
    EXPECT_FALSE(model->calcul());
    EXPECT_EQ(model->points, points);
    EXPECT_EQ(model->seq, seq);
    EXPECT_EQ(model->inters, inters);
    EXPECT_EQ(model->count, count);
    EXPECT_GE(model->calcul_bytes(), std::uint64_t(99998) * 99997 / 2 * 8);
}

TEST(Memory, HugeParametersNeedSaturatedSizes)
{
    auto model = make_model(64, 48, 2, INT_MAX, 1, 0);
    EXPECT_EQ(model->calcul_bytes(), UINT64_MAX);
    EXPECT_FALSE(model->calcul());
}

}

namespace {

TEST(Progress, EveryPairIsCountedOnceOnBothPaths)
{
    for (bool fast : {false, true})
        for (int type : {0, on_the_fly, from_root | on_the_fly}) {
            auto model = make_model(64, 48, 3, 2003, 1, type);
            model->set_fast(fast);
            EXPECT_EQ(model->planned_pairs(), std::int64_t(model->planned_chords()) * (model->planned_chords() - 1) / 2);
            ASSERT_TRUE(model->calcul());
            EXPECT_EQ(model->pairs_done.load(), model->pairs()) << fast << " " << type;
            EXPECT_EQ(model->pairs(), model->planned_pairs());
        }
}

}
