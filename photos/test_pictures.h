// Generated pictures for the encoder's tests and probe: smooth gradients and large flat blocks,
// the two kinds of content a game frame is mostly made of. Tests and probes only.
#pragma once

#include <cstdint>

#include "base/pixels.h"

namespace hm {

inline PixelsRef GradientPicture(std::uint32_t w, std::uint32_t h) {
    PixelsRef p = MakePixels(w, h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            const std::uint32_t r = x * 255 / (w > 1 ? w - 1 : 1), g = y * 255 / (h > 1 ? h - 1 : 1);
            const std::uint32_t b = (x + y) * 255 / (w + h > 2 ? w + h - 2 : 1);
            p->set(x, y, 0xFF000000u | r << 16 | g << 8 | b);
        }
    return p;
}

inline PixelsRef BlockPicture(std::uint32_t w, std::uint32_t h) {
    static const std::uint32_t colours[] = {0xFFC03020, 0xFF2060A0, 0xFFE0D040, 0xFF30A050, 0xFF404040, 0xFFF0F0F0};
    PixelsRef p = MakePixels(w, h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) p->set(x, y, colours[(x / 160 + 2 * (y / 120)) % 6]);
    return p;
}

}  // namespace hm
