// The render thread's per-frame decisions inside Present, without Direct3D: what one frame costs
// the game before any drawing, with the UI closed and with the overlay and cursor shown.
#include <benchmark/benchmark.h>

#include "base/shared_state.h"
#include "game/clean_frame.h"
#include "game/present_rules.h"
#include "base/overlay_frame.h"

namespace hm {
namespace {

// UI closed: photo time-out test, an unchanged overlay version, pairing conditions, notices.
void BM_FrameDecisionsIdle(benchmark::State& st) {
    PhotoRequestState photo;
    OverlayState overlay;
    std::mutex lock;
    NoticeState notices;
    RenderNoticeOutbox outbox;
    ScreenRegionTracker region;
    Tick next = 0;
    PairingInputs in;
    Tick now = 1000;
    for (auto _ : st) {
        ++now;
        benchmark::DoNotOptimize(TakeTimedOutPhotoRequest(photo, now));
        FrameRef frame;
        int version = 0;
        benchmark::DoNotOptimize(TakeOverlayFrame(overlay, 0, frame, version));
        benchmark::DoNotOptimize(region.Due(overlay.screen_region_request.load(), now));
        benchmark::DoNotOptimize(PairingCommandDue(in, now, next));
        benchmark::DoNotOptimize(outbox.Flush(lock, notices, now));
    }
}
BENCHMARK(BM_FrameDecisionsIdle);

// UI open: placement, quad and cursor vertices every frame.
void BM_FrameDecisionsOverlay(benchmark::State& st) {
    OverlayState overlay;
    overlay.cursor_x = 400;
    overlay.cursor_y = 300;
    ScreenRegionTracker region;
    Tick now = 1000;
    for (auto _ : st) {
        ++now;
        const CanvasPlacement p = PlaceOverlay(1920.0f, 1080.0f);
        auto quad = OverlayQuad(p);
        float x = 0, y = 0;
        CursorHotSpot(p, overlay.cursor_x.load(), overlay.cursor_y.load(), x, y);
        auto tris = CursorTriangles(x, y, p.scale);
        benchmark::DoNotOptimize(quad);
        benchmark::DoNotOptimize(tris);
        benchmark::DoNotOptimize(region.Due(overlay.screen_region_request.load(), now));
    }
}
BENCHMARK(BM_FrameDecisionsOverlay);

// The clean-frame hook's camera test and bookkeeping when the viewfinder is not up.
void BM_CleanFrameOutsideViewfinder(benchmark::State& st) {
    FakeAddressSpace memory;
    memory.Put(kActiveCameraIndex, {0});
    memory.Put(kCameraModes, {4, 0});
    PhotoRequestState photo;
    std::mutex lock;
    std::atomic<bool> connected{true};
    PixelsRef slot;
    int slot_id = 0;
    RenderNoticeOutbox outbox;
    CleanFrameKeeper keeper;
    const CleanFrameKeeper::Capture capture = [] { return MakePixels(1, 1); };
    Tick now = 1000;
    for (auto _ : st) {
        keeper.Run({true, true, true}, memory, ++now, photo, capture, lock, connected, PhotoSlot{slot, slot_id}, outbox);
    }
    if (keeper.captures() != 0) st.SkipWithError("captured outside the viewfinder");
}
BENCHMARK(BM_CleanFrameOutsideViewfinder);

}  // namespace
}  // namespace hm

