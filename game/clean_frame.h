// The clean frame: the 3-D picture before the game draws its HUD, captured from inside the game's
// 2-D pass routine for photos. Portable decisions over a MemoryReader and an injected capture so
// the hook body can run against a fake address space and a fake clock.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "base/pixels.h"
#include "base/ticks.h"
#include "game/guarded_memory.h"
#include "game/present_rules.h"

namespace hm {

constexpr GameAddress kTwoDPassRoutine = 0x53E230;  // called once a frame before the 2-D layer
constexpr std::uint8_t kTwoDPassBytes[15] = {0xA1, 0x24, 0x7B, 0xC9, 0x00, 0x83, 0xEC, 0x18,
                                             0x6A, 0x00, 0x6A, 0x06, 0xFF, 0x50, 0x20};
constexpr std::uint32_t kMinGameImageSize = 0x13E250;
constexpr GameAddress kActiveCameraIndex = 0xB6F081;  // byte
constexpr GameAddress kCameraModes = 0xB6F1A8;        // 16-bit mode, one camera every 568 bytes
constexpr std::uint32_t kCameraStride = 568;
constexpr std::uint16_t kViewfinderMode = 46;
constexpr Tick kCleanFrameCadenceMs = 100;
constexpr Tick kCleanFrameFreshMs = 1200;

// What VirtualQuery said about the 2-D pass routine's page.
struct RoutinePage {
    bool queried = false;
    std::uint32_t state = 0;    // MEM_COMMIT is 0x1000
    std::uint32_t protect = 0;  // PAGE_NOACCESS 0x01 and PAGE_GUARD 0x100 refuse
};

// The executable is the one build whose 2-D pass can be hooked: module at 0x400000 with MZ and
// PE headers, SizeOfImage >= 0x13E250, the routine's page committed and readable, its 15 bytes
// exact.
bool CleanFrameHookAllowed(const MemoryReader& memory, GameAddress main_module, const RoutinePage& page);

// The active camera (index < 3) is in the photo camera's viewfinder. Unreadable memory: no.
bool CameraInViewfinder(const MemoryReader& memory);

struct CleanFrameInputs {
    bool device_seen = false;  // BeginScene has run on some device
    bool connected = false;    // photo sharing on
    bool game_in_front = false;
};

// Where a served photo goes: the PhotoFrame slot, guarded by SharedStateLock.
struct PhotoSlot {
    PixelsRef& frame;
    int& request_id;
};

// The clean frame the render thread holds between frames and the hook body that keeps it.
class CleanFrameKeeper {
public:
    using Capture = std::function<PixelsRef()>;  // reads the back buffer; may throw

    // One call of the 2-D pass. `lock` guards `slot` and `connected` is re-read under it; a busy
    // lock leaves the request pending for the next frame. Failures end as the clean-frame notice
    // in `outbox`, once per pending request.
    void Run(const CleanFrameInputs& in, const MemoryReader& memory, Tick now, PhotoRequestState& photo,
             const Capture& capture, std::mutex& lock, const std::atomic<bool>& connected, PhotoSlot slot,
             RenderNoticeOutbox& outbox);

    const PixelsRef& frame() const { return frame_; }
    Tick tick() const { return tick_; }
    std::uint64_t captures() const { return captures_; }

private:
    void Drop() {
        frame_.reset();
        tick_ = 0;
    }
    PixelsRef frame_;
    Tick tick_ = 0;  // 0: no clean frame held
    std::uint64_t captures_ = 0;
};

}  // namespace hm
