#include "computer/draw_list_win.h"

#include <memory>

#include "computer/icon_painter_win.h"
#include "ui/canvas_win.h"

namespace hm {
namespace {

// The last picture drawn on this thread, scaled to the size it was drawn at. Holding the
// reference keeps its address from being reused by another picture while cached.
struct ScaledPicture {
    PixelsRef source;
    int width = 0, height = 0;
    std::unique_ptr<DibCanvas> scaled;
};

void DrawScaledPicture(HDC dc, const UiRect& r, const PixelsRef& picture, ColorRef background) {
    thread_local ScaledPicture cache;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
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

UINT TextFlags(unsigned format) {
    UINT f = DT_NOPREFIX;
    if (format & text_format::kCenter) f |= DT_CENTER;
    if (format & text_format::kRight) f |= DT_RIGHT;
    if (format & text_format::kWrap) f |= DT_WORDBREAK | DT_END_ELLIPSIS;
    if (format & text_format::kLine) f |= DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    return f;
}

}  // namespace

void ReplayDrawList(HDC dc, const UiFonts& fonts, const DrawList& list, const PixelsRef& picture) {
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
