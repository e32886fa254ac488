// The worker's calls into subsystems that hang on start-up and on the loop. Each is a named
// step the owning subsystem fills; until then it does nothing. Worker thread unless noted.
#pragma once

#include <string>

#include "core/config.h"
#include "base/ticks.h"
#include "core/worker_context.h"

namespace hm {

// --- Start-up, in the order the worker calls them -------------------------------------------
void StartVoiceChat(const PluginConfig& config);        // voice threads (API URL, local HTTP, Voice, VoiceVolume)
void StartNpcVoices(const PluginConfig& config);        // NPC voice threads (NPCVoices, NPCVoiceVolume)
void StartCameraDataThread(const PluginConfig& config); // detached vehicle-camera data thread (core/vehicles_win.cpp)
void InstallDirect3DHooks();                            // throws on failure: start-up fails (game/d3d9_install_win.cpp)

// --- Loop pass -------------------------------------------------------------------------------
void WriteTvHeartbeat();                                 // under TvLock, no waiting
void SetTvHeartbeatStep(void (*step)());                 // the television fills it at installation
void OpenUpdateDialog(WorkerContext& ctx);               // Ctrl+F9 (ignored while a screen is open)
std::wstring CockpitCameraStatusText();                  // last line of the Ctrl+F9 dialog (vehicle subsystem)
void SetCockpitCameraStatusStep(std::wstring (*step)()); // the vehicle subsystem fills it at start-up
void TogglePhotoVisible();                               // Ctrl+F11
// Resume, dialog mailbox, Ctrl+F10 / automatic consent prompt, presence, editor token, state
// poll and what hangs on it (release check, TV state: the session's hooks, core/session.h).
// ctx.hotkeys.consent carries this pass's Ctrl+F10.
void RunSessionSteps(WorkerContext& ctx, Tick now);
// The editor exchange (EditorSync): the minimise key every pass, the rest while the session
// has handed it a token (core/editor_steps.h).
void RunEditorSync(WorkerContext& ctx, Tick now, const HotkeyKeys& keys);
void ReleaseEditorObjects(WorkerContext& ctx);             // at stop, before COM goes
void PublishMediaSession(WorkerContext& ctx);            // token for voice and NPC voices
void ReleaseSessionObjects(WorkerContext& ctx);          // at stop, before COM goes

}  // namespace hm
