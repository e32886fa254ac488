// Test hooks of the television, built only into HM_Plugin_testhooks.dll (never packaged).
#include <windows.h>

#include <mutex>

#include "tv/tv_controller_win.h"

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
