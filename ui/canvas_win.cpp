#include "ui/canvas_win.h"

#include <cstring>
#include <stdexcept>

#include "ui/masks.h"
#include "base/overlay_frame.h"

namespace hm {

DibCanvas::DibCanvas(int width, int height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0) throw std::runtime_error("cannot create drawing surface");
    dc_.reset(CreateCompatibleDC(nullptr));
    if (!dc_) throw std::runtime_error("cannot create drawing surface");
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_ || !bits) throw std::runtime_error("cannot create drawing surface");
    bits_ = static_cast<const std::uint8_t*>(bits);
    previous_bitmap_ = SelectObject(dc_.get(), bitmap_.get());
}

DibCanvas::~DibCanvas() {
    // The bitmap must leave the DC before either is deleted.
    if (previous_bitmap_) SelectObject(dc_.get(), previous_bitmap_);
}

PixelsRef DibCanvas::ToPixels() const {
    GdiFlush();
    PixelsRef out = MakePixels(std::uint32_t(width_), std::uint32_t(height_));
    std::memcpy(out->data(), bits_, out->size_bytes());
    SetAlphaOpaque(*out);
    return out;
}

OverlayCanvas::OverlayCanvas() : DibCanvas(kCanvasWidth, kCanvasHeight) {}

}  // namespace hm
