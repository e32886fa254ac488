// One rendering tick of the UI thread (UiWindow timer, every 50 ms): draw the canvas, cut it with
// the screen's mask and publish it; or, while minimised, the restore bar alone.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "base/pixels.h"
#include "ui/draw_win.h"
#include "ui/masks.h"
#include "ui/state_signature.h"
#include "base/overlay_frame.h"

namespace hm {

// 810 x 760 frame, transparent except the restore bar (24..329 x 712..751).
PixelsRef RenderRestoreBar(const UiFonts& fonts);

// Minimised tick: forget the signature, hide the plugin cursor, publish the restore bar. Only a
// changed frame is published, so the render thread uploads the bar once, not 20 times a second.
void RunMinimizedPass(OverlayState& state, SignatureGate& gate, const UiFonts& fonts);

struct ScreenPass {
    int capture_request_id = 0;            // 0 when the screen has no capture request
    ColorRef background = kCanvasBackground;
    TransparencyMask mask;                 // MaskFor(ChooseMask(...))
    const std::string* signature = nullptr;  // identity-card screens: StateSignature(...)
    bool snapshot_after_background = false;  // document masks may keep what differs from the background
};

// Normal tick. Skips everything when the signature is unchanged; else sets the cursor flag and
// the capture request, draws background + `draw` into a fresh canvas, applies alpha rule and
// mask, and publishes (always when a signature applied, else only a changed frame). Returns
// whether a frame was published.
bool RunScreenPass(OverlayState& state, SignatureGate& gate, const ScreenPass& pass,
                   const std::function<void(HDC)>& draw);

}  // namespace hm
