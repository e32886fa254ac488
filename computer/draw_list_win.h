// Replays a draw list into a GDI device context (the overlay canvas of one tick). UI thread.
#pragma once

#include <windows.h>

#include "base/pixels.h"
#include "computer/draw_list.h"
#include "ui/draw_win.h"

namespace hm {

// `picture`: the screen's picture for kStatePicture steps (null: those steps draw the gradient).
void ReplayDrawList(HDC dc, const UiFonts& fonts, const DrawList& list, const Pixels* picture);

}  // namespace hm
