// Fills the frame-steps record of the Direct3D hooks with the subsystems' steps. Worker thread,
// once, before the device hooks are installed (the render thread reads the record unlocked).
#pragma once

namespace hm {

void FillFrameSteps();

}  // namespace hm
