// The vehicle features inside the game: the detours of the fixed-address hooks, the camera data
// thread, and what the rest of the plugin reads from them.
#pragma once

#include <string>

#include "game/game_hook_plan.h"
#include "net/api_types.h"
#include "vehicle/cockpit_camera.h"

namespace hm {

// Worker, during the graphics installation (before the hooks are enabled).
void InstallVehicleHooks();
// The same for given modules (tests: a process without the game at 0x400000).
void InstallVehicleHooksFor(const GameHookInputs& inputs);

// Worker, once: the detached camera data thread; it ends on the plugin's stop flag.
void StartCockpitDataThread(const ApiClient& client);

// The cockpit camera's line on the Ctrl+F9 screen.
std::wstring CockpitStatusLine();

// Render thread, once a frame: the windscreen the camera placed since the last frame.
bool TakeCockpitCabView(CabView& out);

}  // namespace hm
