#include "voice/voice_start.h"

#include <algorithm>

namespace hm {

void ConfigureVoice(VoiceState& state, bool voice, int volume) {
    state.enabled.store(voice);
    state.volume.store(std::clamp(volume, 0, 100));
}

void ReadVoiceBannerInputs(const VoiceState& state, BannerInputs& in) {
    in.voice_capturing = state.capturing.load(std::memory_order_relaxed);
    in.voice_channel = state.status_channel.load(std::memory_order_relaxed);
    in.work_radio = state.work_radio.load(std::memory_order_relaxed);
}

}  // namespace hm
