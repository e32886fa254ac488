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
// Workbench tools 0..kWorkbenchToolCount - 1: wrench, screwdriver, hammer, pliers, car jack,
// wheel, oil can, multimeter, spark plug, battery; any other number a tool box. Transparent
// around the tool.
void PaintTool(HDC dc, const UiRect& r, int tool);
// Vertical gradient from `top` to `bottom` colour.
void PaintGradient(HDC dc, const UiRect& r, ColorRef top, ColorRef bottom);

}  // namespace hm
