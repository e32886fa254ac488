// Start-up values of voice chat and the status line's lock-free reading. Any thread.
#pragma once

#include "ui/banner_text.h"
#include "voice/voice_state.h"

namespace hm {

// Worker, once before the threads start: INI Voice and VoiceVolume (clamped to 0..100).
void ConfigureVoice(VoiceState& state, bool voice, int volume);

// Render thread: capturing, the status channel and the work-radio flag (atomics only).
void ReadVoiceBannerInputs(const VoiceState& state, BannerInputs& in);

}  // namespace hm
