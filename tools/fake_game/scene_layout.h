// What the fake game draws and where, shared by the game and the tests that read its pictures.
// Colours are 0xAARRGGBB. The scene is drawn with pre-transformed vertices and point sampling,
// so every pixel of a rectangle has exactly the colour given here.
#pragma once

#include <array>
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

// --gta-routines: the ladder objects' posts, one shade of this colour per face.
constexpr std::uint32_t kLadderPostColour = 0xFFF08020;

// Marker textures: 32 x 32, one solid colour, drawn scaled to kMarkerSize squares in a row.
constexpr int kMarkerSize = 64;
constexpr int kMarkerTop = 140;
constexpr int kMarkerLeft = 24;
constexpr int kMarkerGap = 16;
constexpr int kMaxMarkers = 8;
inline Rect MarkerRect(int index) {
    return Rect{kMarkerLeft + index * (kMarkerSize + kMarkerGap), kMarkerTop, kMarkerSize, kMarkerSize};
}

// Markers are world geometry, drawn with fixed-function vertex processing and a depth buffer (as
// the game's world is): each square is the model-space square -8..8 (y up), placed by its world
// matrix at 4 pixels a unit around the square's centre, seen through an orthographic view of the
// screen. A world TV screen whose id has bit 0x4000 carries texture coordinates u 0..4 and v 1..4
// (left to right, top to bottom); every other square 0..1.
constexpr float kMarkerUnitPixels = 4;
constexpr float kMarkerHalfSide = 8;
constexpr float kMarkerDepthScale = 0.01f;  // model z to depth around 0.5
// Row-major D3DMATRIX values.
inline std::array<float, 16> MarkerWorld(int index) {
    const Rect r = MarkerRect(index);
    const float cx = float(r.x + r.w / 2) - 0.5f, cy = float(r.y + r.h / 2) - 0.5f;
    return {kMarkerUnitPixels, 0, 0, 0, 0, -kMarkerUnitPixels, 0, 0, 0, 0, kMarkerDepthScale, 0, cx, cy, 0.5f, 1};
}
inline std::array<float, 16> ScreenProjection(float width, float height) {
    return {2 / width, 0, 0, 0, 0, -2 / height, 0, 0, 0, 0, 1, 0, -1, 1, 0, 1};
}
// Where a model point of marker `index` lands on the screen (Direct3D 9 samples pixel (x, y) at
// exactly x, y) and its depth.
inline void MarkerPointOnScreen(int index, float x, float y, float z, float& sx, float& sy, float& depth) {
    const auto w = MarkerWorld(index);
    sx = w[0] * x + w[12];
    sy = w[5] * y + w[13];
    depth = w[10] * z + w[14];
}
inline bool TransformedTvMarker(std::uint32_t id) { return id >= 0x4000 && id <= 32767; }

// The solid colour that carries a marker id: 1..32767 for screens (five bits per channel,
// each channel 8..39), 65536..65546 for the special surfaces (R 168, G 37, B 47..57).
// 0 for ids that no colour carries.
inline std::uint32_t MarkerColour(std::uint32_t id) {
    if (id >= 1 && id <= 32767)
        return 0xFF000000u | ((8 + ((id >> 10) & 31)) << 16) | ((8 + ((id >> 5) & 31)) << 8) | (8 + (id & 31));
    if (id >= 65536 && id <= 65546) return 0xFF000000u | (168u << 16) | (37u << 8) | (47 + (id - 65536));
    return 0;
}

// Texture kinds a marker colour may come on (the "markers" command's prefix kind:id). Only the
// plain, X8R8G8B8 and render-target kinds carry an id; the others show their colour untouched.
enum class MarkerKind {
    kPlain,        // 32 x 32 A8R8G8B8, managed
    kX8,           // "x8:"     32 x 32 X8R8G8B8, managed
    kLarge,        // "big:"    64 x 64 A8R8G8B8: the size rejects it
    kOffCentre,    // "centre:" 32 x 32 with texel (16, 16) in kOffCentreColour: the nine points differ
    kRenderTarget, // "rt:"     32 x 32 render target in the default pool, filled by the device
    kCube,         // "cube:"   cube texture of 32, every face the colour; drawn with direction (0, 0, 1)
};
constexpr std::uint32_t kOffCentreColour = 0xFFFFFFFF;
struct MarkerRequest {
    MarkerKind kind = MarkerKind::kPlain;
    std::uint32_t id = 0;
};

// Shown at start: a TV screen, a gallery picture, the hidden surface and a lettering surface.
inline std::vector<std::uint32_t> DefaultMarkers() { return {1, 1057, 65537, 65538}; }

}  // namespace hm::fakegame
