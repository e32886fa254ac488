// Steps of subsystems not built yet: each does nothing until its subsystem fills it.
#include "core/worker_hooks.h"

namespace hm {

void StartVoiceChat(const PluginConfig&) {}
void StartNpcVoices(const PluginConfig&) {}
void StartCameraDataThread(const PluginConfig&) {}

void WriteTvHeartbeat() {}
void ResetReleaseCheckWhileDisconnected(WorkerContext&) {}
void OpenUpdateDialog(WorkerContext&) {}
void TogglePhotoVisible() {}
void RunReleaseCheck(WorkerContext&, Tick) {}
void RunTvStep(WorkerContext&, Tick) {}

}  // namespace hm
