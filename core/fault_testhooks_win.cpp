// Test hooks of the failure containment, built only into HM_Plugin_testhooks.dll (never
// packaged): arm one fault site, read what was thrown, try the plugin's locks.
#include <windows.h>

#include <mutex>
#include <string>

#include "base/fault_seam.h"
#include "base/media_session.h"
#include "base/overlay_frame.h"
#include "base/shared_state.h"
#include "voice/voice_state.h"

// Arms `site` (0 disarms) to throw `kind` (1 runtime_error, 2 a non-standard exception).
// Returns the faults thrown so far.
extern "C" __declspec(dllexport) long HM_ArmFault(int site, int kind) {
    hm::FaultSeam& seam = hm::PluginFaults();
    seam.kind.store(kind);
    seam.site.store(site > 0 && site < int(hm::FaultSite::kCount) ? site : 0);
    return seam.thrown.load();
}

extern "C" __declspec(dllexport) long HM_InjectedFaults() { return hm::PluginFaults().thrown.load(); }

// Each of the plugin's process-wide locks tried as the render thread does: bit set when it could
// be taken (and it is given back at once). The plugin's threads hold them briefly in their normal
// work, so one busy try proves nothing: a lock counts as held only when a second of tries never
// finds it free. 15 = all four free.
extern "C" __declspec(dllexport) int HM_TryPluginLocks() {
    int free = 0;
    auto tryOne = [&free](std::mutex& m, int bit) {
        const DWORD start = GetTickCount();
        do {
            std::unique_lock<std::mutex> hold(m, std::try_to_lock);
            if (hold.owns_lock()) {
                free |= bit;
                return;
            }
            Sleep(1);
        } while (GetTickCount() - start < 1000);
    };
    tryOne(hm::PluginShared().lock, 1);
    tryOne(hm::PluginOverlay().lock, 2);
    tryOne(hm::PluginMediaSession().lock, 4);
    tryOne(hm::PluginVoice().lock, 8);
    return free;
}
