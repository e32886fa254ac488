#include "computer/draw_list_win.h"

#include "computer/icon_painter_win.h"

namespace hm {
namespace {

UINT TextFlags(unsigned format) {
    UINT f = DT_NOPREFIX;
    if (format & text_format::kCenter) f |= DT_CENTER;
    if (format & text_format::kRight) f |= DT_RIGHT;
    if (format & text_format::kWrap) f |= DT_WORDBREAK | DT_END_ELLIPSIS;
    if (format & text_format::kLine) f |= DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    return f;
}

}  // namespace

void ReplayDrawList(HDC dc, const UiFonts& fonts, const DrawList& list, const Pixels* picture) {
    UniqueFont small;  // made on first use
    const int saved = SaveDC(dc);
    for (const DrawOp& op : list) {
        const UiRect& r = op.r;
        switch (op.kind) {
            case DrawOpKind::kFill: FillSolidRect(dc, r.left, r.top, r.right, r.bottom, op.colour); break;
            case DrawOpKind::kRoundFill: FillRoundRect(dc, r.left, r.top, r.right, r.bottom, op.colour, op.radius * 2); break;
            case DrawOpKind::kGradient: PaintGradient(dc, r, op.colour, op.colour2); break;
            case DrawOpKind::kStatePicture:
                if (picture) DrawPictureInRect(dc, r.left, r.top, r.right, r.bottom, picture, op.colour);
                else PaintGradient(dc, r, op.colour, op.colour2);
                break;
            case DrawOpKind::kDesktopPicture: PaintDesktopPicture(dc, r); break;
            case DrawOpKind::kGlyph: PaintGlyph(dc, r, op.glyph); break;
            case DrawOpKind::kCover: PaintCover(dc, r, op.glyph); break;
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
                }
                DrawTextInRect(dc, font, r.left, r.top, r.right, r.bottom, op.text, op.colour, TextFlags(op.format));
                break;
            }
        }
    }
    RestoreDC(dc, saved);  // deselects the small font before it is freed
}

}  // namespace hm
