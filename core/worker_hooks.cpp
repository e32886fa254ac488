// Steps of subsystems not built yet: each does nothing until its subsystem fills it.
#include "core/worker_hooks.h"

#include "base/plugin.h"

namespace hm {

void StartNpcVoices(const PluginConfig&) {}
void StartCameraDataThread(const PluginConfig&) {}

void WriteTvHeartbeat() {}
void OpenUpdateDialog(WorkerContext&) {}
void TogglePhotoVisible() {
    // Only the worker writes it, so a load and a store cannot lose a toggle.
    Plugin().photo_visible.store(!Plugin().photo_visible.load());
}

}  // namespace hm
