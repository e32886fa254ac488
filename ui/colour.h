// Colours are Windows colour references 0x00BBGGRR everywhere in the UI; Pixels speak
// 0xAARRGGBB. These convert between the two.
#pragma once

#include <cstdint>

namespace hm {

using ColorRef = std::uint32_t;

constexpr ColorRef RgbRef(unsigned r, unsigned g, unsigned b) {
    return ColorRef((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr unsigned RedOf(ColorRef c) { return c & 0xFF; }
constexpr unsigned GreenOf(ColorRef c) { return (c >> 8) & 0xFF; }
constexpr unsigned BlueOf(ColorRef c) { return (c >> 16) & 0xFF; }

// The pixel value (as Pixels::at returns it) of a colour with the given alpha.
constexpr std::uint32_t ArgbOf(ColorRef c, unsigned alpha = 255) {
    return (std::uint32_t(alpha & 0xFF) << 24) | (RedOf(c) << 16) | (GreenOf(c) << 8) | BlueOf(c);
}
// The colour of a pixel value, alpha dropped.
constexpr ColorRef ColorOfArgb(std::uint32_t argb) {
    return RgbRef((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// Background of the desktop and most screens.
constexpr ColorRef kCanvasBackground = 0xF9F3EE;

}  // namespace hm
