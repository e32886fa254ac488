// Test hooks of the television, built only into HM_Plugin_testhooks.dll (never packaged).
#include <windows.h>

#include <mutex>

#include "tv/tv_controller_win.h"
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

// What the television holds now: 0 TvScreenId, 1 helper running (1/0), 2 page status in the
// block, 3 frame counter in the block, 4 the helper's process id (0 none).
extern "C" __declspec(dllexport) long long HM_TelevisionState(int what) {
    hm::TvController& tv = hm::PluginTv();
    if (what == 0) return tv.screen.screen_id.load();
    std::lock_guard<std::mutex> hold(tv.lock);
    const hm::BrowserHelperLink& link = tv.link;
    switch (what) {
        case 1: return link.process && WaitForSingleObject(link.process, 0) == WAIT_TIMEOUT ? 1 : 0;
        case 2: return link.view ? static_cast<long long>(link.view->status) : -1;
        case 3: return link.view ? static_cast<long long>(link.view->frame_counter) : -1;
        case 4: return link.process ? GetProcessId(link.process) : 0;
        default: return -1;
    }
}
