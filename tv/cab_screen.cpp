#include "tv/cab_screen.h"

#include <cmath>

namespace hm {

namespace {

Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
bool Normalise(Vec3& v) {
    const float n = std::sqrt(Dot(v, v));
    if (!(n > 1e-6f) || !std::isfinite(n)) return false;
    v = {v.x / n, v.y / n, v.z / n};
    return true;
}

}  // namespace

bool ProjectCabScreen(const CabScreenRecord& s, float width, float height, std::array<CabVertex, 4>& out) {
    Vec3 front = s.front;
    if (!Normalise(front)) return false;
    Vec3 right = Cross(front, s.up);
    if (!Normalise(right)) return false;
    const Vec3 up = Cross(right, front);
    if (!(s.fov_degrees > 1.0f && s.fov_degrees < 179.0f) || !(width > 0 && height > 0)) return false;
    const float scale = (width / 2) / std::tan(s.fov_degrees * 3.14159265f / 360.0f);
    constexpr float kUv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        const Vec3 d = Sub(s.corners[static_cast<std::size_t>(i)], s.eye);
        const float depth = Dot(d, front);
        if (!(depth >= kCabNearDepth) || !std::isfinite(depth)) return false;
        CabVertex& v = out[static_cast<std::size_t>(i)];
        v.x = width / 2 + Dot(d, right) / depth * scale - 0.5f;
        v.y = height / 2 - Dot(d, up) / depth * scale - 0.5f;
        v.z = 0.0f;
        v.rhw = 1.0f / depth;
        if (!std::isfinite(v.x) || !std::isfinite(v.y)) return false;
        v.u = kUv[i][0];
        v.v = kUv[i][1];
    }
    return true;
}

}  // namespace hm
