// The in-vehicle TV screen: four world corners and the game camera, projected to a screen quad.
// Portable so the projection is tested natively.
#pragma once

#include <array>
#include <cstdint>

namespace hm {

struct Vec3 {
    float x, y, z;
};

// Written by the cockpit camera on the render thread, valid only in the frame it was written.
struct CabScreenRecord {
    std::array<Vec3, 4> corners;  // top-left, top-right, bottom-left, bottom-right (world)
    Vec3 eye;                     // camera position
    Vec3 front;                   // viewing direction
    Vec3 up;                      // camera up
    float fov_degrees;            // horizontal field of view
};

// One pre-transformed vertex: perspective-correct texturing through rhw = 1 / depth.
struct CabVertex {
    float x, y, z, rhw, u, v;
};

// Nearest depth a corner may have; anything closer or behind the eye draws nothing.
constexpr float kCabNearDepth = 0.05f;

// The triangle strip of the screen on a viewport of `width` x `height`; false when a corner is
// behind the eye (or the camera is degenerate), so nothing is drawn.
bool ProjectCabScreen(const CabScreenRecord& screen, float width, float height, std::array<CabVertex, 4>& out);

}  // namespace hm
