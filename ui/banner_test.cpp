// Banner geometry: height from the measured text, gradient rows with MulDiv rounding, placement
// in narrow viewports.
#include <gtest/gtest.h>

#include "ui/banner.h"

namespace hm {
namespace {

TEST(BannerGeometry, HeightIsMeasuredPlusTwentyFourWithinLimits) {
    const int cases[][2] = {{0, 48}, {24, 48}, {25, 49}, {48, 72}, {156, 180}, {157, 180}, {1000, 180}, {-50, 48}};
    for (const auto& c : cases) EXPECT_EQ(BannerHeight(c[0]), c[1]) << c[0];
    const BannerRect m = BannerMessageRect(48);
    EXPECT_EQ(m.left, 52);
    EXPECT_EQ(m.top, 12);
    EXPECT_EQ(m.right, 502);
    EXPECT_EQ(m.bottom, 40);
}

TEST(BannerGeometry, MulDivRoundsToNearestWithHalvesAwayFromZero) {
    struct Case {
        int a, b, c, want;
    } cases[] = {
        {47, 14, 48, 14}, {23, 14, 48, 7}, {24, 14, 48, 7}, {1, 14, 48, 0}, {2, 14, 48, 1},  // 0.58 -> 1
        {1, 1, 2, 1},     {3, 1, 2, 2},    {-1, 1, 2, -1},  {-3, 1, 2, -2},  {1, -1, 2, -1},
        {5, 1, -2, -3},   {-5, 1, -2, 3},  {7, 0, 3, 0},    {7, 3, 0, -1},   {0x7FFFFFFF, 2, 1, -1},
        {0x40000000, 4, 2, -1}, {0x7FFFFFFF, 1, 1, 0x7FFFFFFF},
    };
    for (const Case& c : cases) EXPECT_EQ(MulDivRound(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST(BannerGeometry, GradientRunsFromTopColourByRoundedFourteenths) {
    EXPECT_EQ(BannerRowColour(0, 48), RgbRef(17, 47, 53));
    EXPECT_EQ(BannerRowColour(47, 48), RgbRef(31, 61, 67));  // 13.7 rounds to 14
    EXPECT_EQ(BannerRowColour(2, 48), RgbRef(18, 48, 54));   // 0.58 rounds up
    EXPECT_EQ(BannerRowColour(1, 48), RgbRef(17, 47, 53));
    EXPECT_EQ(BannerRowColour(179, 180), RgbRef(31, 61, 67));
    EXPECT_EQ(BannerRowColour(90, 180), RgbRef(24, 54, 60));
    for (int h : {48, 73, 180}) {
        for (int row = 1; row < h; ++row) {
            const unsigned prev = RedOf(BannerRowColour(row - 1, h)), cur = RedOf(BannerRowColour(row, h));
            EXPECT_TRUE(cur == prev || cur == prev + 1) << "row " << row << " of " << h;
        }
    }
}

TEST(BannerGeometry, PlacementShrinksInNarrowViewportsKeepingTheAspect) {
    struct Case {
        int viewport, height;
        bool visible;
        float width, scaled;
    } cases[] = {
        {1920, 48, true, 520, 48},       {544, 48, true, 520, 48},         {543, 48, true, 519, 48 * 519 / 520.f},
        {300, 180, true, 276, 180 * 276 / 520.f}, {25, 48, true, 1, 48 / 520.f}, {24, 48, false, 0, 0},
        {0, 48, false, 0, 0},            {800, 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        const BannerPlacement p = PlaceBanner(c.viewport, c.height);
        EXPECT_EQ(p.visible, c.visible) << c.viewport;
        if (!c.visible) continue;
        EXPECT_EQ(p.left, 12.f);
        EXPECT_EQ(p.top, 12.f);
        EXPECT_FLOAT_EQ(p.width, c.width) << c.viewport;
        EXPECT_FLOAT_EQ(p.height, c.scaled) << c.viewport;
    }
}

TEST(BannerGeometry, QuadIsAStripShiftedHalfAPixel) {
    const auto q = BannerQuad(PlaceBanner(1920, 48));
    const QuadVertex want[4] = {{11.5f, 11.5f, 0, 0}, {531.5f, 11.5f, 1, 0}, {11.5f, 59.5f, 0, 1}, {531.5f, 59.5f, 1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(q[std::size_t(i)].x, want[i].x) << i;
        EXPECT_FLOAT_EQ(q[std::size_t(i)].y, want[i].y) << i;
        EXPECT_EQ(q[std::size_t(i)].u, want[i].u) << i;
        EXPECT_EQ(q[std::size_t(i)].v, want[i].v) << i;
    }
}

}  // namespace
}  // namespace hm
