// The plugin's editor exchange inside the worker loop: EditorSync's record and effects, and the
// session hooks that hand it the session and close the computer when the session ends.
#pragma once

#include "computer/editor_sync.h"
#include "core/session.h"

namespace hm {

struct PluginEditorSlot {
    bool installed = false;
    EditorSyncRecord sync;
    EditorSyncEffects fx;
};

// Worker thread only.
PluginEditorSlot& PluginEditor();

// Worker thread, before the loop: EditorSync's effects; the window seam defaults to the
// plugin's (PluginEditorWindow) when `fx.window` is null.
void InstallEditorSync(EditorSyncEffects fx);

// The session's hand-off and EndSession's close, into the plugin's slot and exchange.
void InstallEditorSessionHooks(SessionHooks& hooks);

// The worker loop's calls (declared in worker_hooks.h):
//   RunEditorSync(ctx, now, keys)  one EditorSync run over PluginEditorExchange()
//   ReleaseEditorObjects(ctx)      at stop: drops the effects (they refer to ctx)

}  // namespace hm
