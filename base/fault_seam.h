// A test door into every edge: one chosen hook body or thread loop step throws, a
// std::runtime_error or something that is no std::exception at all, so tests can prove the edge
// contains it. Only the test-hooks build exports a way to arm it; unarmed, a site costs one
// relaxed atomic load.
#pragma once

#include <atomic>

namespace hm {

enum class FaultSite : int {
    kNone = 0,
    kPresent,        // the per-frame work, outside its own steps
    kBeginScene,
    kCleanFrame,
    kDrawHooks,      // SetTexture and the four draw detours
    kWindowProcedure,
    kMessageHook,
    kCursorHooks,    // SetCursorPos and SetCursor detours
    kWorkerPass,
    kCapturePass,
    kExchangePass,
    kCount,
};

enum class FaultKind : int {
    kRuntimeError = 1,  // std::runtime_error("injected fault")
    kForeign = 2,       // an int: no std::exception
};

struct FaultSeam {
    std::atomic<int> site{0};
    std::atomic<int> kind{int(FaultKind::kRuntimeError)};
    std::atomic<long> thrown{0};
};

FaultSeam& PluginFaults();  // process-wide, never destroyed

// Throws when `site` is armed.
void ThrowInjectedFault(FaultSeam& seam);
inline void FaultSiteReached(FaultSite site) {
    FaultSeam& seam = PluginFaults();
    if (seam.site.load(std::memory_order_relaxed) == int(site)) ThrowInjectedFault(seam);
}

}  // namespace hm
