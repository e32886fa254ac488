// Test hooks of the television, built only into HM_Plugin_testhooks.dll (never packaged).
#include <windows.h>

#include "tv/tv_picture_win.h"

namespace {

hm::CabScreenRecord g_placed{};

void WritePlaced() { hm::WriteCabScreen(g_placed); }

}  // namespace

// Places the in-vehicle screen as the cockpit camera would, every frame from now on: 12 floats
// of corners (top-left, top-right, bottom-left, bottom-right), eye, front, up (9 floats) and the
// field of view in degrees. `on` 0 takes it away.
extern "C" __declspec(dllexport) void HM_PlaceCabScreen(const float* values, int on) {
    if (!on || !values) {
        hm::SetCabScreenSource(nullptr);
        return;
    }
    for (int i = 0; i < 4; ++i) g_placed.corners[static_cast<std::size_t>(i)] = {values[3 * i], values[3 * i + 1], values[3 * i + 2]};
    g_placed.eye = {values[12], values[13], values[14]};
    g_placed.front = {values[15], values[16], values[17]};
    g_placed.up = {values[18], values[19], values[20]};
    g_placed.fov_degrees = values[21];
    hm::SetCabScreenSource(&WritePlaced);
}
