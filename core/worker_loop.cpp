#include "core/worker_loop.h"

#include "core/worker_hooks.h"

namespace hm {

namespace {
template <typename Step>
void Guarded(Step&& step) {
    try {
        step();
    } catch (...) {
        // The step's own handler reports what the player should see; anything past it is
        // retried on the step's timer rather than ending the loop.
    }
}
}  // namespace

HotkeyPresses HotkeyEdges::Sample(const HotkeyKeys& keys) {
    const bool armed = keys.ctrl && keys.game_in_foreground;
    const bool f9 = armed && keys.f9, f10 = armed && keys.f10, f11 = armed && keys.f11;
    HotkeyPresses presses;
    presses.update_dialog = f9 && !f9_;
    presses.consent = f10 && !f10_;
    presses.photo_visible = f11 && !f11_;
    f9_ = f9;
    f10_ = f10;
    f11_ = f11;
    return presses;
}

void WorkerPass(WorkerContext& ctx, Tick now, const HotkeyKeys& keys) {
    Guarded([] { WriteTvHeartbeat(); });
    ctx.hotkeys = ctx.hotkey_edges.Sample(keys);
    if (ctx.hotkeys.update_dialog) Guarded([&] { OpenUpdateDialog(ctx); });
    if (ctx.hotkeys.photo_visible) Guarded([] { TogglePhotoVisible(); });
    Guarded([&] { RunSessionSteps(ctx, now); });
    Guarded([&] { RunEditorSync(ctx, now, keys); });
    Guarded([&] { PublishMediaSession(ctx); });
}

void RunWorkerLoop(WorkerContext& ctx, const WorkerLoopSeams& seams) {
    for (;;) {
        if (seams.stop_requested()) {
            if (seams.release_imaging_factory) seams.release_imaging_factory(ctx);
            Guarded([&] { ReleaseSessionObjects(ctx); });
            Guarded([&] { ReleaseEditorObjects(ctx); });
            return;
        }
        WorkerPass(ctx, seams.now(), seams.sample_keys());
        seams.sleep(kWorkerPassSleepMs);
    }
}

}  // namespace hm
