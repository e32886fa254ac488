#include "computer/draw_list_win.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "computer/icon_painter_win.h"
#include "ui/canvas_win.h"

namespace hm {
namespace {

// The last picture drawn, scaled to the size it was drawn at. Holding the reference keeps its
// address from being reused by another picture while cached. Not thread_local: a thread-local
// object with a destructor hung the end of the UI thread under Wine (its destructor runs in a TLS
// callback under the loader lock); and never destroyed, so that no GDI call runs at process exit.
// One UI thread draws at a time; the lock covers a test drawing beside it.
struct ScaledPicture {
    PixelsRef source;
    int width = 0, height = 0;
    std::unique_ptr<DibCanvas> scaled;
};
struct PictureCache {
    std::mutex lock;
    ScaledPicture picture;
};
PictureCache& Cache() {
    static PictureCache& cache = *new PictureCache;
    return cache;
}

void DrawScaledPicture(HDC dc, const UiRect& r, const PixelsRef& picture, ColorRef background) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    PictureCache& c = Cache();
    std::lock_guard<std::mutex> hold(c.lock);
    ScaledPicture& cache = c.picture;
    if (cache.source != picture || cache.width != w || cache.height != h || !cache.scaled) {
        cache.scaled.reset();
        cache.source.reset();
        auto canvas = std::make_unique<DibCanvas>(w, h);
        DrawPictureInRect(canvas->dc(), 0, 0, w, h, picture.get(), background);
        GdiFlush();
        cache = ScaledPicture{picture, w, h, std::move(canvas)};
    }
    BitBlt(dc, r.left, r.top, w, h, cache.scaled->dc(), 0, 0, SRCCOPY);
}

// A picture copied pixel for pixel (no scaling: the backdrop was rendered at the canvas size).
void CopyPicture(HDC dc, const UiRect& r, const Pixels& p) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = LONG(p.width());
    bi.bmiHeader.biHeight = -LONG(p.height());  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    const int w = std::min(r.right - r.left, int(p.width())), h = std::min(r.bottom - r.top, int(p.height()));
    if (w <= 0 || h <= 0) return;
    SetDIBitsToDevice(dc, r.left, r.top, DWORD(w), DWORD(h), 0, 0, 0, p.height(), p.data(), &bi, DIB_RGB_COLORS);
}

UINT TextFlags(unsigned format) {
    UINT f = DT_NOPREFIX;
    if (format & text_format::kCenter) f |= DT_CENTER;
    if (format & text_format::kRight) f |= DT_RIGHT;
    if (format & text_format::kWrap) f |= DT_WORDBREAK | DT_END_ELLIPSIS;
    if (format & text_format::kLine) f |= DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    return f;
}

}  // namespace

void ForgetScaledPicture() {
    PictureCache& c = Cache();
    std::lock_guard<std::mutex> hold(c.lock);
    c.picture = ScaledPicture{};
}

void ReplayDrawList(HDC dc, const UiFonts& fonts, const DrawList& list, const PixelsRef& picture,
                    const Pixels* backdrop) {
    UniqueFont small, cover;  // made on first use
    const int saved = SaveDC(dc);
    for (const DrawOp& op : list) {
        const UiRect& r = op.r;
        switch (op.kind) {
            case DrawOpKind::kFill: FillSolidRect(dc, r.left, r.top, r.right, r.bottom, op.colour); break;
            case DrawOpKind::kRoundFill: FillRoundRect(dc, r.left, r.top, r.right, r.bottom, op.colour, op.radius * 2); break;
            case DrawOpKind::kGradient: PaintGradient(dc, r, op.colour, op.colour2); break;
            case DrawOpKind::kStatePicture:
                if (picture) DrawScaledPicture(dc, r, picture, op.colour);
                else PaintGradient(dc, r, op.colour, op.colour2);
                break;
            case DrawOpKind::kDesktopPicture: PaintDesktopPicture(dc, r); break;
            case DrawOpKind::kGlyph: PaintGlyph(dc, r, op.glyph); break;
            case DrawOpKind::kCover: PaintCover(dc, r, op.glyph); break;
            case DrawOpKind::kTool: PaintTool(dc, r, op.glyph); break;
            case DrawOpKind::kEmbeddedPicture: DrawEmbeddedPicture(dc, r.left, r.top, r.right, r.bottom, op.glyph); break;
            case DrawOpKind::kBackdrop:
                if (backdrop) CopyPicture(dc, r, *backdrop);
                break;
            case DrawOpKind::kButton:
                DrawButton(dc, fonts, op.flags, r.left, r.top, r.right, r.bottom, op.text, op.primary);
                break;
            case DrawOpKind::kText: {
                HFONT font = fonts.body.get();
                if (op.font == DrawFont::kTitle) font = fonts.title.get();
                else if (op.font == DrawFont::kScript) font = fonts.signature.get();
                else if (op.font == DrawFont::kSmall) {
                    if (!small) small = CreateUiFont(FontSpec{L"Segoe UI", -13, 400, false});
                    font = small.get();
                } else if (op.font == DrawFont::kCover) {
                    if (!cover) cover = CreateUiFont(FontSpec{L"Segoe UI", -28, 600, false});
                    font = cover.get();
                }
                DrawTextInRect(dc, font, r.left, r.top, r.right, r.bottom, op.text, op.colour, TextFlags(op.format));
                break;
            }
        }
    }
    RestoreDC(dc, saved);  // deselects the fonts made here before they are freed
}

}  // namespace hm
