#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "allegro_none.h"
#include "cpoint.h"
#include "pixel_map.h"

namespace {

bool is_centre(Cpoint p) { return p.x == 0 && p.y == 0; }

TEST(Inter, CrossingLines)
{
    Cpoint p = inter(Cpoint(0, 0), Cpoint(1, 1), Cpoint(0, 1), Cpoint(1, 0));
    EXPECT_EQ(p.x, 0.5f);
    EXPECT_EQ(p.y, 0.5f);
    // det is 4 here: the centre comes out of the computation itself.
    EXPECT_TRUE(is_centre(inter(Cpoint(1, 0), Cpoint(-1, 0), Cpoint(0, 1), Cpoint(0, -1))));
    // Lines meet outside both segments.
    p = inter(Cpoint(0, 0), Cpoint(1, 0), Cpoint(5, 1), Cpoint(5, 2));
    EXPECT_EQ(p.x, 5.0f);
    EXPECT_EQ(p.y, 0.0f);
}

TEST(Inter, SingularCasesGiveTheCentre)
{
    EXPECT_TRUE(is_centre(inter(Cpoint(0, 0), Cpoint(1, 0), Cpoint(0, 1), Cpoint(1, 1))));    // parallel
    EXPECT_TRUE(is_centre(inter(Cpoint(0.3f, 0.2f), Cpoint(0.9f, -0.5f), Cpoint(0.3f, 0.2f), Cpoint(0.9f, -0.5f))));  // same line
    EXPECT_TRUE(is_centre(inter(Cpoint(0.7f, 0.7f), Cpoint(0.7f, 0.7f), Cpoint(0, 1), Cpoint(1, 0))));  // a == b
}

TEST(Inter, NotANumberPropagates)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Cpoint p = inter(Cpoint(nan, 0), Cpoint(1, 1), Cpoint(0, 1), Cpoint(1, 0));
    EXPECT_TRUE(std::isnan(p.x));
}

TEST(Cpoint, DefaultsToOrigin)
{
    Cpoint* a = new Cpoint[3]();
    EXPECT_TRUE(is_centre(a[2]));
    delete[] a;
}

struct pixel {
    bool inside;
    int X, Y;
};

pixel map_of(int w, int h, int zoom, float x, float y)
{
    pixel p{false, -7, -7};
    p.inside = pixel_map(w, h, zoom).to_pixel(Cpoint(x, y), p.X, p.Y);
    return p;
}

void expect_pixel(pixel p, int X, int Y)
{
    EXPECT_TRUE(p.inside);
    EXPECT_EQ(p.X, X);
    EXPECT_EQ(p.Y, Y);
}

TEST(PixelMap, ZoomOneAndTwoOn640x480)
{
    expect_pixel(map_of(640, 480, 1, 0, 0), 320, 240);
    expect_pixel(map_of(640, 480, 1, 1, 0), 560, 240);
    expect_pixel(map_of(640, 480, 1, -1, 0), 80, 240);
    expect_pixel(map_of(640, 480, 1, 0, -1), 320, 0);
    EXPECT_FALSE(map_of(640, 480, 1, 0, 1).inside);  // row 480
    expect_pixel(map_of(640, 480, 2, 0, 0), 320, 240);
    expect_pixel(map_of(640, 480, 2, 1, 0), 440, 240);
    expect_pixel(map_of(640, 480, 2, -1, 0), 200, 240);
    expect_pixel(map_of(640, 480, 2, 0, -1), 320, 120);
    expect_pixel(map_of(640, 480, 2, 0, 1), 320, 360);
}

TEST(PixelMap, TruncatesTowardZero)
{
    // 320 + 240 * x lands at -0.5: truncated to column 0, not -1.
    expect_pixel(map_of(640, 480, 1, -320.5f / 240, 0), 0, 240);
    // At -1 or below the point is outside.
    EXPECT_FALSE(map_of(640, 480, 1, -321.0f / 240, 0).inside);
    // Last column and just past it.
    expect_pixel(map_of(640, 480, 1, 319.5f / 240, 0), 639, 240);
    EXPECT_FALSE(map_of(640, 480, 1, 320.0f / 240, 0).inside);
}

TEST(PixelMap, ZoomZeroIsAlwaysOutside)
{
    EXPECT_FALSE(map_of(640, 480, 0, 0, 0).inside);  // 0 / 0
    EXPECT_FALSE(map_of(640, 480, 0, 0.25f, -0.5f).inside);
}

TEST(PixelMap, NegativeZoomMirrorsThroughTheCentre)
{
    expect_pixel(map_of(640, 480, -1, 1, 0), 80, 240);
    expect_pixel(map_of(640, 480, -1, 0, 0.5f), 320, 120);
    expect_pixel(map_of(640, 480, -2, -1, 0), 440, 240);
}

TEST(PixelMap, ExtremeValuesNeverConvertOutOfRange)
{
    expect_pixel(map_of(640, 480, INT_MAX, 0.9f, 0.9f), 320, 240);
    expect_pixel(map_of(640, 480, INT_MIN, -0.9f, 0.9f), 320, 240);
    EXPECT_FALSE(map_of(640, 480, 1, 1e30f, 0).inside);
    EXPECT_FALSE(map_of(640, 480, 1, -1e30f, 0).inside);
    EXPECT_FALSE(map_of(640, 480, 1, std::numeric_limits<float>::infinity(), 0).inside);
    EXPECT_FALSE(map_of(640, 480, 1, 0, std::numeric_limits<float>::quiet_NaN()).inside);
    expect_pixel(map_of(1, 1, 1, 0, 0), 0, 0);
}

TEST(Points, FourPointsCarryTheOffsetsOfTheShortPi)
{
    auto model = make_model(64, 48, 1, 4, 0, 0);
    ASSERT_TRUE(model->calcul());
    const Cpoint* p = model->points;
    EXPECT_EQ(p[0].x, 1.0f);
    EXPECT_EQ(p[0].y, 0.0f);
    EXPECT_TRUE(std::signbit(p[0].y));   // -sin(0) is -0
    EXPECT_NEAR(p[1].x, 3.139e-7f, 1e-10f);
    EXPECT_EQ(p[1].y, -1.0f);
    EXPECT_EQ(p[2].x, -1.0f);
    EXPECT_NEAR(p[2].y, -6.278e-7f, 1e-10f);
    EXPECT_NEAR(p[3].x, -9.417e-7f, 1e-10f);
    EXPECT_EQ(p[3].y, 1.0f);
    EXPECT_GT(p[1].x, 0.0f);
    EXPECT_LT(p[3].x, 0.0f);
}

TEST(Status, DescribesTheFigureByItsModeBit)
{
    char text[128];
    auto model = make_model(8, 8, 2, 1499, 1, from_root | on_the_fly);
    model->status(text);
    EXPECT_STREQ(text, "Multiplication chryzode of n=2 in m=1499, from root r=1 ; zoom 1:1");
    model->set(2, 1499, 1, on_the_fly);
    model->status(text);
    EXPECT_STREQ(text, "Complete multiplication chryzode of n=2 in m=1499 ; zoom 1:1");
    // The values as given, even those drawn as their residue.
    model->set(INT_MIN, -5, INT_MIN, from_root);
    model->set_zoom(INT_MIN);
    model->status(text);
    EXPECT_STREQ(text, "Multiplication chryzode of n=-2147483648 in m=-5, from root r=-2147483648 ; zoom 1:-2147483648");
    EXPECT_LT(std::strlen(text), 104u);
}

}
