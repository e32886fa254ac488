// The picture the fake framework paints: eight colour bars (their centres never change) and a
// white stripe along the top that moves with the frame number, which is also written into the
// bottom-left pixel so a reader can tell which frame it holds. 960 x 540, bytes B, G, R, A.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace hm::fake_cef {

constexpr int kCardWidth = 960, kCardHeight = 540;
constexpr int kBarWidth = 120;
constexpr int kStripeHeight = 16, kStripeWidth = 48;
// 0x00RRGGBB: white, yellow, cyan, green, magenta, red, blue, black.
constexpr std::uint32_t kBars[8] = {0xffffff, 0xffff00, 0x00ffff, 0x00ff00, 0xff00ff, 0xff0000, 0x0000ff, 0x000000};

inline int StripeX(std::uint32_t frame) { return static_cast<int>((frame * 24u) % (kCardWidth - kStripeWidth)); }

inline std::uint32_t CardPixel(std::uint32_t frame, int x, int y) {  // 0xAARRGGBB
    if (x == 0 && y == kCardHeight - 1) return frame;
    if (y < kStripeHeight) {
        const int sx = StripeX(frame);
        return (x >= sx && x < sx + kStripeWidth) ? 0xffffffffu : 0xff202020u;
    }
    return 0xff000000u | kBars[x / kBarWidth];
}

inline void PaintCard(std::uint32_t frame, std::uint8_t* out) {
    for (int y = 0; y < kCardHeight; ++y)
        for (int x = 0; x < kCardWidth; ++x) {
            const std::uint32_t p = CardPixel(frame, x, y);
            std::memcpy(out + (static_cast<std::size_t>(y) * kCardWidth + x) * 4, &p, 4);
        }
}

inline std::uint32_t CardFrameNumber(const std::uint8_t* frame) {
    std::uint32_t n;
    std::memcpy(&n, frame + static_cast<std::size_t>(kCardHeight - 1) * kCardWidth * 4, 4);
    return n;
}

}  // namespace hm::fake_cef
