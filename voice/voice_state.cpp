#include "voice/voice_state.h"

#include <algorithm>

#include "voice/mulaw.h"

namespace hm {

void HandOverVoiceToken(VoiceState& state, const std::string& token) {
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.token == token) return;
    state.token = token;
    state.queue.clear();
    state.generation.fetch_add(1);
    state.capturing.store(false);
    state.capability_mask.store(1);
}

void AppendCaptured(VoiceState& state, const std::int16_t* samples, std::size_t count) {
    std::lock_guard<std::mutex> hold(state.lock);
    for (std::size_t i = 0; i < count; ++i) state.queue.push_back(EncodeMuLaw(samples[i]));
    if (state.queue.size() > kCaptureQueueLimit)
        state.queue.erase(state.queue.begin(), state.queue.end() - kCaptureQueueLimit);
}

void ClearCaptureQueue(VoiceState& state) {
    std::lock_guard<std::mutex> hold(state.lock);
    state.queue.clear();
}

bool HoldsToken(VoiceState& state) {
    std::lock_guard<std::mutex> hold(state.lock);
    return !state.token.empty();
}

ExchangeTake TakeForExchange(VoiceState& state, bool take, std::string& body) {
    std::lock_guard<std::mutex> hold(state.lock);
    ExchangeTake t{state.token, state.selected_channel};
    const std::size_t n = std::min(state.queue.size(), kExchangeMaxSamples);
    if (take && n >= kExchangeMinSamples) {
        body.append(state.queue.begin(), state.queue.begin() + n);
        state.queue.erase(state.queue.begin(), state.queue.begin() + n);
    }
    return t;
}

VoiceState& PluginVoice() {
    static VoiceState& state = *new VoiceState;
    return state;
}

}  // namespace hm
