// What the fake game draws and where, shared by the game and the tests that read its pictures.
// Colours are 0xAARRGGBB. The scene is drawn with pre-transformed vertices and point sampling,
// so every pixel of a rectangle has exactly the colour given here.
#pragma once

#include <cstdint>
#include <vector>

namespace hm::fakegame {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Rect {
    int x, y, w, h;
    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

constexpr std::uint32_t kSkyColour = 0xFF5A8CC8;       // the clear colour, above the horizon
constexpr Rect kGround{0, 240, kWidth, kHeight - 240};  // DrawPrimitive from a vertex buffer
constexpr std::uint32_t kGroundColour = 0xFF3C7832;
constexpr Rect kBuilding{420, 96, 160, 240};            // DrawIndexedPrimitive
constexpr std::uint32_t kBuildingColour = 0xFF8C8278;
// A car that drives along the road: x = kCarStartX + (frame * kCarStep) % kCarTravel (DrawPrimitiveUP).
constexpr Rect kCar{0, 360, 48, 24};
constexpr int kCarStartX = 16, kCarStep = 8, kCarTravel = 560;
constexpr std::uint32_t kCarColour = 0xFFE0C020;

// Marker textures: 32 x 32, one solid colour, drawn scaled to kMarkerSize squares in a row.
constexpr int kMarkerSize = 64;
constexpr int kMarkerTop = 140;
constexpr int kMarkerLeft = 24;
constexpr int kMarkerGap = 16;
constexpr int kMaxMarkers = 8;
inline Rect MarkerRect(int index) {
    return Rect{kMarkerLeft + index * (kMarkerSize + kMarkerGap), kMarkerTop, kMarkerSize, kMarkerSize};
}

// The solid colour that carries a marker id: 1..32767 for screens (five bits per channel,
// each channel 8..39), 65536..65546 for the special surfaces (R 168, G 37, B 47..57).
// 0 for ids that no colour carries.
inline std::uint32_t MarkerColour(std::uint32_t id) {
    if (id >= 1 && id <= 32767)
        return 0xFF000000u | ((8 + ((id >> 10) & 31)) << 16) | ((8 + ((id >> 5) & 31)) << 8) | (8 + (id & 31));
    if (id >= 65536 && id <= 65546) return 0xFF000000u | (168u << 16) | (37u << 8) | (47 + (id - 65536));
    return 0;
}

// Shown at start: a TV screen, a gallery picture, the hidden surface and a lettering surface.
inline std::vector<std::uint32_t> DefaultMarkers() { return {1, 1057, 65537, 65538}; }

}  // namespace hm::fakegame
