// The vehicle features' process-wide record: the cockpit camera, the ladder trucks' anchors and
// what the hook installation gave.
#pragma once

#include <atomic>

#include "vehicle/cockpit_camera.h"
#include "vehicle/ladder.h"

namespace hm {

struct VehicleFeatures {
    CockpitCamera camera;
    LadderState ladder;                       // game thread only
    std::atomic<bool> camera_hooks{false};    // hooks A and B in place
    std::atomic<bool> vehicle_render_hook{false};
    std::atomic<int> game_hooks{0};           // fixed-address hooks created
};

VehicleFeatures& PluginVehicles();  // never destroyed

}  // namespace hm
