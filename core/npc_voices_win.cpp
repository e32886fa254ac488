// NPC voices' seams: the session token of voice chat, a voice player on its own device per clip,
// and Ctrl+N's keys and conditions.
#include <windows.h>

#include <memory>
#include <mutex>

#include "base/notices_win.h"
#include "core/npc_voices_win.h"
#include "core/worker_hooks.h"
#include "game/input_state.h"
#include "game/input_win.h"
#include "game/samp_win.h"
#include "net/url_policy_win.h"
#include "npc/npc_threads_win.h"
#include "voice/voice_player.h"
#include "voice/voice_state.h"
#include "voice/wave_devices_win.h"

namespace hm {

namespace {

class VoicePlayerOutput : public NpcOutput {
public:
    bool Play(const std::uint8_t* bytes, std::size_t count, int gain, int volume) override {
        player_.Play(bytes, count, gain, volume, volume, Tick(GetTickCount64()));
        return player_.queued() != 0;  // the player drops a block it could not write
    }
    bool Finished() override { return player_.Reap() == 0; }
    void Release() override { player_.Release(); }

private:
    VoicePlayer player_{std::make_unique<WaveOutDevice>()};
};

bool KeyHeld(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

NpcToggleInputs SampleToggleInputs() {
    NpcToggleInputs in;
    in.ctrl = KeyHeld(VK_CONTROL);
    in.n = KeyHeld('N');
    // The focus inputs (SA-MP's memory above all) only matter while the keys are held.
    if (!(in.ctrl && in.n)) return in;
    in.game_in_front = IsGameInFront();
    in.ui_open = PluginInput().ui_window.load() != 0;
    in.chat_free = in.game_in_front && !in.ui_open ? IsChatFree() : false;
    return in;
}

NpcSession ReadVoiceSession() {
    VoiceState& voice = PluginVoice();
    std::lock_guard<std::mutex> hold(voice.lock);
    return NpcSession{voice.token, voice.generation.load()};
}

}  // namespace

std::unique_ptr<NpcOutput> NewNpcVoiceOutput() { return std::make_unique<VoicePlayerOutput>(); }

void StartNpcVoices(const PluginConfig& config) {
    ConfigureNpc(PluginNpc(), config.npc_voices, config.npc_voice_volume);
    NpcThreadSeams seams;
    seams.session = &ReadVoiceSession;
    seams.generation = [] { return PluginVoice().generation.load(); };
    seams.new_output = &NewNpcVoiceOutput;
    seams.inputs = &SampleToggleInputs;
    seams.notice = [](const wchar_t* text) { ShowNotice(text); };
    StartNpcThreads(MakeApiClient(config.api_url, config.allow_local_http), seams);
}

}  // namespace hm
