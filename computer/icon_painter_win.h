// The computer's own artwork, painted with GDI at any size: the numbered desktop glyphs, the
// document covers of carried cards and the built-in desktop picture. UI thread.
#pragma once

#include <windows.h>

#include "computer/desktop_layout.h"
#include "ui/colour.h"
#include "ui/drawing.h"

namespace hm {

void PaintGlyph(HDC dc, const UiRect& r, int glyph);
// Cover kinds: 0 lined paper, 1 book, 2 case file, 3 photograph.
void PaintCover(HDC dc, const UiRect& r, int cover);
void PaintDesktopPicture(HDC dc, const UiRect& r);
// Vertical gradient from `top` to `bottom` colour.
void PaintGradient(HDC dc, const UiRect& r, ColorRef top, ColorRef bottom);

}  // namespace hm
