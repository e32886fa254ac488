#include "ui/overlay_pass_win.h"

#include "ui/canvas_win.h"

namespace hm {

PixelsRef RenderRestoreBar(const UiFonts& fonts) {
    OverlayCanvas canvas;  // a fresh DIB section is all zero
    const UiRect& bar = kRestoreBar;
    const UiRect& text = kRestoreBarText;
    FillRoundRect(canvas.dc(), bar.left, bar.top, bar.right, bar.bottom, kRestoreBarColour, kRestoreBarDiameter);
    DrawTextInRect(canvas.dc(), fonts.body.get(), text.left, text.top, text.right, text.bottom, kRestoreBarLabel,
                   kRestoreBarTextColour, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    PixelsRef frame = canvas.ToPixels();
    ApplyRestoreBarAlpha(*frame);
    return frame;
}

void RunMinimizedPass(OverlayState& state, SignatureGate& gate, const UiFonts& fonts) {
    gate.Clear();
    state.plugin_cursor_visible.store(false);
    PublishOverlayFrame(state, RenderRestoreBar(fonts), PublishRule::kIfChanged);
}

bool RunScreenPass(OverlayState& state, SignatureGate& gate, const ScreenPass& pass,
                   const std::function<void(HDC)>& draw) {
    if (pass.signature && gate.Unchanged(*pass.signature)) return false;
    state.plugin_cursor_visible.store(true);
    state.screen_region_request.store(pass.capture_request_id);

    OverlayCanvas canvas;
    FillSolidRect(canvas.dc(), 0, 0, kCanvasWidth, kCanvasHeight, pass.background);
    PixelsRef snapshot;
    if (pass.snapshot_after_background) snapshot = canvas.ToPixels();
    if (draw) draw(canvas.dc());
    PixelsRef frame = canvas.ToPixels();
    ApplyMask(*frame, pass.mask, state.cursor_x.load(), state.cursor_y.load(), snapshot.get());
    return PublishOverlayFrame(state, std::move(frame), pass.signature ? PublishRule::kAlways : PublishRule::kIfChanged);
}

}  // namespace hm
