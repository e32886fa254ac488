// The subsystems' per-frame steps, hung on the game's frame before the device hooks go in.
#include "core/frame_wiring_win.h"

#include "game/frame_steps_win.h"
#include "photos/shown_photo_win.h"
#include "tv/tv_picture_win.h"

namespace hm {

void FillFrameSteps() {
    FrameSteps& steps = PluginFrameSteps();
    steps.draw_shown_photo = &DrawShownPhoto;
    steps.photo_drawn = &IsShownPhotoDrawn;
    steps.television_frame = &RunTelevisionFrameStep;
    steps.draw_television_picture = &DrawTelevisionPicture;
}

}  // namespace hm
