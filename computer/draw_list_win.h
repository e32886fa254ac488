// Replays a draw list into a GDI device context (the overlay canvas of one tick). UI thread.
#pragma once

#include <windows.h>

#include "base/pixels.h"
#include "computer/draw_list.h"
#include "ui/draw_win.h"

namespace hm {

// `picture`: the screen's picture for kStatePicture steps (null: those steps draw the gradient).
// A picture is scaled once per size and kept for the thread's later ticks: a halftone stretch of
// a large picture costs far more than a tick may. `backdrop`: the picture of kBackdrop steps
// (null: they draw nothing).
void ReplayDrawList(HDC dc, const UiFonts& fonts, const DrawList& list, const PixelsRef& picture,
                    const Pixels* backdrop = nullptr);

// Frees the kept scaled picture (the UI thread, as it ends: the picture is not kept for the next).
void ForgetScaledPicture();

}  // namespace hm
