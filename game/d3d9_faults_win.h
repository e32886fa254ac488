// Fault seam of the Direct3D shell: a test names one call, which then fails with the given
// result instead of running. Nothing arms it outside tests.
#pragma once

#include <windows.h>

#include <atomic>

namespace hm {

enum class ShellCall {
    kNone,
    kProbeWindow,  // CreateWindowExW: fails with a null window
    kDirect3DCreate9,  // fails with a null object
    kCreateDevice,
    kGetBackBuffer,
    kGetDesc,
    kCreateRenderTarget,
    kStretchRect,
    kCreateOffscreenPlainSurface,
    kGetRenderTargetData,
    kLockBackBufferCopy,
    kCreateTexture,
    kLockTexture,
    kCreateStateBlock,
    kTestCooperativeLevel,  // answers the armed result: a lost device
};

struct ShellFault {
    std::atomic<ShellCall> call{ShellCall::kNone};
    std::atomic<HRESULT> result{E_FAIL};
};
ShellFault& Direct3DShellFault();  // process-wide, never destroyed

// True when `call` is armed to fail.
inline bool ShellCallFails(ShellCall call) {
    return Direct3DShellFault().call.load(std::memory_order_relaxed) == call;
}
// The armed result for `call`, or what `run` returns.
template <typename Run>
HRESULT ShellCallOr(ShellCall call, Run run) {
    return ShellCallFails(call) ? Direct3DShellFault().result.load() : run();
}

}  // namespace hm
