// The plugin's one session, driven by the worker loop's session steps (worker_hooks.h). The
// Windows shell installs the real effects before the loop starts; until then (and in native
// tests of the loop) the steps do nothing.
#pragma once

#include <functional>

#include "core/session.h"
#include "core/worker_context.h"

namespace hm {

struct PluginSessionSlot {
    bool installed = false;
    bool started = false;
    SessionRecord record;
    SessionEffects fx;
    std::function<bool()> game_in_front;  // the foreground window belongs to the game
    std::function<bool()> editor_open;    // the editor-open flag; empty: no screen can be open
};

// Worker thread only.
PluginSessionSlot& PluginSession();

// Worker thread, before the loop: the effects and input samplers of the plugin's session.
void InstallSessionEffects(SessionEffects fx, std::function<bool()> gameInFront,
                           std::function<bool()> editorOpen);

// The worker loop's calls (declared in worker_hooks.h):
//   RunSessionSteps(ctx, now)  starts the session from the start-up results on the first pass,
//                              then runs SessionStep with this pass's Ctrl+F10 and LastFrameTick.
//   PublishMediaSession(ctx)   publishes the media token (also done at the end of SessionStep).
//   ReleaseSessionObjects(ctx) at stop: drops the installed effects (they refer to ctx).
//
// Later subsystems plug into the session by filling their SessionHooks member in
// InstallPluginSession (session_win.cpp).

}  // namespace hm
