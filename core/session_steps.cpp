#include "core/session_steps.h"

#include "core/worker_hooks.h"
#include "voice/voice_state.h"

namespace hm {

PluginSessionSlot& PluginSession() {
    static PluginSessionSlot& slot = *new PluginSessionSlot;
    return slot;
}

void InstallSessionEffects(SessionEffects fx, std::function<bool()> gameInFront,
                           std::function<bool()> editorOpen) {
    PluginSessionSlot& slot = PluginSession();
    slot.fx = std::move(fx);
    slot.game_in_front = std::move(gameInFront);
    slot.editor_open = std::move(editorOpen);
    slot.installed = true;
    slot.started = false;
}

void RunSessionSteps(WorkerContext& ctx, Tick now) {
    PluginSessionSlot& slot = PluginSession();
    if (!slot.installed) return;
    if (!slot.started) {
        SessionSettings settings;
        settings.client = ctx.client;
        settings.api_url = ctx.config.api_url;
        settings.auto_connect = ctx.config.auto_connect;
        StartSession(slot.record, settings, slot.fx);
        slot.started = true;
    }
    SessionInputs in;
    in.now = now;
    in.last_frame_tick = slot.fx.plugin ? slot.fx.plugin->last_frame_tick.load() : 0;
    in.game_in_front = slot.game_in_front && slot.game_in_front();
    in.ctrl_f10_pressed = ctx.hotkeys.consent;
    in.editor_open = slot.editor_open && slot.editor_open();
    SessionStep(slot.record, in, slot.fx);
}

void ReleaseSessionObjects(WorkerContext&) {
    // The effects refer to the worker's context, which ends with the loop.
    PluginSessionSlot& slot = PluginSession();
    slot.installed = false;
    slot.started = false;
    slot.fx = SessionEffects();
    slot.game_in_front = nullptr;
    slot.editor_open = nullptr;
}

void PublishMediaSession(WorkerContext&) {
    PluginSessionSlot& slot = PluginSession();
    if (!slot.installed || !slot.fx.media) return;
    const SessionRecord& s = slot.record;
    const std::string token = s.connected && s.consent_given ? s.token : std::string();
    PublishMediaSession(*slot.fx.media, token);
    HandOverVoiceToken(PluginVoice(), token);
}

}  // namespace hm
