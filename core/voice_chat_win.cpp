// Voice chat's seams: the worker's start-up call and the status line's per-frame reading.
#include "core/worker_hooks.h"
#include "core/frame_wiring_win.h"
#include "net/url_policy_win.h"
#include "voice/voice_start.h"
#include "voice/voice_threads_win.h"

namespace hm {

void StartVoiceChat(const PluginConfig& config) {
    ConfigureVoice(PluginVoice(), config.voice, config.voice_volume);
    SetVoiceBannerReader([](BannerInputs& in) { ReadVoiceBannerInputs(PluginVoice(), in); });
    StartVoiceThreads(MakeApiClient(config.api_url, config.allow_local_http));
}

}  // namespace hm
