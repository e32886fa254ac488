// Fills the frame-steps record of the Direct3D hooks with the subsystems' steps. Worker thread,
// once, before the device hooks are installed (the render thread reads the record unlocked).
#pragma once

#include "ui/banner_text.h"

namespace hm {

void FillFrameSteps();

// What outranks the notices on the banner while voice chat transmits. Set before
// FillFrameSteps' record is read by the render thread, i.e. before the device hooks go in.
void SetVoiceBannerReader(void (*read)(BannerInputs&));

}  // namespace hm
