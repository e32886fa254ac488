// Drawing surfaces: a top-down 32-bit DIB section selected into its own memory DC. The overlay
// canvas (810 x 760) lives for one rendering tick; the banner uses one per text change.
#pragma once

#include <windows.h>

#include "base/pixels.h"
#include "ui/gdi_win.h"

namespace hm {

class DibCanvas {
public:
    // Throws std::runtime_error("cannot create drawing surface") when GDI refuses.
    DibCanvas(int width, int height);
    ~DibCanvas();
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }

    // Flushes GDI and copies the pixels out, every alpha set to 255 (GDI's alpha is unusable).
    PixelsRef ToPixels() const;

private:
    int width_;
    int height_;
    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ previous_bitmap_ = nullptr;
    const std::uint8_t* bits_ = nullptr;
};

// The OverlayCanvas of one rendering tick: 810 x 760.
class OverlayCanvas : public DibCanvas {
public:
    OverlayCanvas();
};

}  // namespace hm
