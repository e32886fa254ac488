// The notice banner's geometry and colours: a 520-pixel-wide box in the top-left corner of the
// game picture, one line to a few lines high. Portable; banner_win.h draws it with GDI.
#pragma once

#include <array>
#include <cstdint>

#include "ui/colour.h"

namespace hm {

constexpr int kBannerWidth = 520;
constexpr int kBannerTextWidth = 450;  // the measuring rectangle
constexpr int kBannerMinHeight = 48;
constexpr int kBannerMaxHeight = 180;

constexpr ColorRef kBannerAccent = 0xC5E264;
constexpr ColorRef kBannerBadgeText = 0x312C09;
constexpr ColorRef kBannerText = 0xFBFFF1;

struct BannerRect {
    int left, top, right, bottom;
};
constexpr BannerRect kBannerBadge{12, 9, 43, 40};  // rounded, corner diameter 10, "HM" inside
constexpr int kBannerBadgeDiameter = 10;
constexpr int kBannerStripWidth = 4;  // accent strip x 0..3

// Height of a banner whose text measured `text_height` pixels: + 24, within 48..180.
int BannerHeight(int text_height);

// The message rectangle of a banner `height` pixels high.
BannerRect BannerMessageRect(int height);

// Windows' MulDiv: a * b / c rounded to nearest (halves away from zero), -1 when c is 0 or the
// result does not fit.
int MulDivRound(int a, int b, int c);

// Gradient colour of row `row` of a banner `height` pixels high.
ColorRef BannerRowColour(int row, int height);

// Where the banner texture goes in a viewport: at (12, 12), width min(viewport - 24, 520), the
// height scaled by the same factor. Not visible when the viewport is too narrow.
struct BannerPlacement {
    bool visible = false;
    float left = 0, top = 0, width = 0, height = 0;
};
BannerPlacement PlaceBanner(int viewport_width, int banner_height);

// The quad as a triangle strip, every coordinate minus 0.5 (texel centres on pixel centres).
struct QuadVertex {
    float x, y, u, v;
};
std::array<QuadVertex, 4> BannerQuad(const BannerPlacement& placement);

}  // namespace hm
