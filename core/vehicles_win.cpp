// The vehicle features' start-up: the camera data thread with its own ApiClient, and the
// cockpit camera's line on the Ctrl+F9 screen.
#include "core/worker_hooks.h"
#include "net/url_policy_win.h"
#include "vehicle/vehicle_hooks_win.h"

namespace hm {

void StartCameraDataThread(const PluginConfig& config) {
    SetCockpitCameraStatusStep(&CockpitStatusLine);
    // Without the switch nothing ever asks for a model: no thread at all.
    if (config.cockpit_camera) StartCockpitDataThread(MakeApiClient(config.api_url, config.allow_local_http));
}

}  // namespace hm
