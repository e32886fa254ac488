// The notice banner's bitmap, drawn with GDI. Render thread, only when the banner text changes.
#pragma once

#include <string>

#include "base/pixels.h"

namespace hm {

// 520 x H picture of `text` (H from the measured text, 48..180), alpha 255 everywhere; null for
// an empty text (no banner).
PixelsRef RenderBannerBitmap(const std::wstring& text);

// The height of the text wrapped into the 450-pixel measuring rectangle.
int MeasureBannerText(const std::wstring& text);

}  // namespace hm

#include <mutex>

#include "base/shared_state.h"
#include "ui/banner_text.h"

namespace hm {

// The banner as the render thread keeps it between frames.
struct BannerLayer {
    BannerTextReader reader;
    PixelsRef bitmap;  // null: no banner
};

// Render thread, once a frame: choose the text (try-lock on `lock`, see UpdateBannerText) and
// re-render the bitmap when it changed. Returns true when `layer.bitmap` changed (upload it).
bool RefreshBannerLayer(BannerLayer& layer, std::mutex& lock, const NoticeState& notices, Tick now,
                        const BannerInputs& in);

// The device changed: textures are gone, so the next frame renders the banner again.
void ResetBannerLayer(BannerLayer& layer);

}  // namespace hm
