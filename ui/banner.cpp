#include "ui/banner.h"

#include <algorithm>

namespace hm {

int BannerHeight(int text_height) {
    return std::clamp(text_height + 24, kBannerMinHeight, kBannerMaxHeight);
}

BannerRect BannerMessageRect(int height) { return {52, 12, 502, height - 8}; }

int MulDivRound(int a, int b, int c) {
    if (c == 0) return -1;
    long long n = (long long)a * b;
    long long d = c;
    if (d < 0) {
        n = -n;
        d = -d;
    }
    const long long q = n >= 0 ? (n + d / 2) / d : (n - d / 2) / d;
    if (q > 2147483647LL || q < -2147483647LL) return -1;
    return int(q);
}

ColorRef BannerRowColour(int row, int height) {
    const int e = MulDivRound(row, 14, height);
    return RgbRef(unsigned(17 + e), unsigned(47 + e), unsigned(53 + e));
}

BannerPlacement PlaceBanner(int viewport_width, int banner_height) {
    BannerPlacement p;
    const int width = std::min(viewport_width - 24, kBannerWidth);
    if (width <= 0 || banner_height <= 0) return p;
    p.visible = true;
    p.left = 12;
    p.top = 12;
    p.width = float(width);
    p.height = float(banner_height) * float(width) / float(kBannerWidth);
    return p;
}

std::array<QuadVertex, 4> BannerQuad(const BannerPlacement& p) {
    const float l = p.left - 0.5f, t = p.top - 0.5f, r = p.left + p.width - 0.5f, b = p.top + p.height - 0.5f;
    return {{{l, t, 0, 0}, {r, t, 1, 0}, {l, b, 0, 1}, {r, b, 1, 1}}};
}

}  // namespace hm
