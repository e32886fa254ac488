#include "core/editor_steps.h"

#include "core/worker_hooks.h"

namespace hm {

PluginEditorSlot& PluginEditor() {
    static PluginEditorSlot& slot = *new PluginEditorSlot;
    return slot;
}

void InstallEditorSync(EditorSyncEffects fx) {
    PluginEditorSlot& slot = PluginEditor();
    slot.fx = std::move(fx);
    if (!slot.fx.window) slot.fx.window = &PluginEditorWindow();
    slot.sync = EditorSyncRecord();
    slot.installed = true;
}

void InstallEditorSessionHooks(SessionHooks& hooks) {
    hooks.offer_editor_session = [](const ApiClient& client, const std::string& token) {
        PluginEditorSlot& slot = PluginEditor();
        if (slot.installed) OfferEditorSession(slot.sync, client, token);
    };
    hooks.close_editor = [] {
        PluginEditorSlot& slot = PluginEditor();
        if (slot.installed) CloseEditorSession(PluginEditorExchange(), slot.sync, slot.fx);
    };
}

void RunEditorSync(WorkerContext&, Tick now, const HotkeyKeys& keys) {
    PluginEditorSlot& slot = PluginEditor();
    if (!slot.installed) return;
    EditorKeys k;
    k.ctrl = keys.ctrl;
    k.f12 = keys.f12;
    k.game_in_front = keys.game_in_foreground;
    EditorSyncPass(PluginEditorExchange(), slot.sync, slot.fx, now, k);
}

void ReleaseEditorObjects(WorkerContext&) {
    PluginEditorSlot& slot = PluginEditor();
    slot.installed = false;
    slot.fx = EditorSyncEffects();
    slot.sync = EditorSyncRecord();
}

}  // namespace hm
