// VoiceState: what the capture thread, the exchange thread, the worker (token hand-over) and the
// render thread (status line) share. The queue, the token copy and the selected channel sit under
// one lock so a hand-over empties the queue in the same step that changes the token.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace hm {

constexpr std::size_t kCaptureQueueLimit = 6400;  // bytes (0.4 s of mu-law)
constexpr std::size_t kExchangeMinSamples = 160;
constexpr std::size_t kExchangeMaxSamples = 3200;

struct VoiceState {
    std::mutex lock;                 // guards queue, token and selected_channel only
    std::deque<std::uint8_t> queue;  // mu-law bytes waiting to be sent; at most kCaptureQueueLimit
    std::string token;               // session token copy; empty: no session
    int selected_channel = 0;        // channel of the queued samples; 0 when no key is held

    std::atomic<std::uint32_t> generation{0};  // bumped by every hand-over that changes the token
    std::atomic<bool> enabled{true};           // INI Voice, toggled by Ctrl+M. Written: start, capture
    std::atomic<int> volume{80};               // 0..100. Written: start
    std::atomic<int> capability_mask{1};       // bit n allows channel n. Written: exchange, hand-over
    std::atomic<bool> work_radio{false};       // bit 5 of the last capability answer. Written: exchange
    std::atomic<int> status_channel{0};        // selected_channel without the lock. Written: capture
    std::atomic<bool> capturing{false};        // microphone open and drained. Written: capture, hand-over

    // Diagnostics, read without the lock.
    std::atomic<long> microphone_failures{0};  // opens or re-queues that failed
    std::atomic<int> players{0};               // speakers with a player. Written: exchange
    std::atomic<long> exchanges{0};            // exchange answers of status 200 played
    std::atomic<long long> capture_cpu{0};     // CPU time of the capture thread, 100 ns units
    std::atomic<long long> exchange_cpu{0};    // CPU time of the exchange thread, 100 ns units
};

// Worker: stores the token when it differs; then the queue is emptied, the generation bumped,
// capturing dropped and the mask back to 1, all under the voice lock.
void HandOverVoiceToken(VoiceState& state, const std::string& token);

// Capture thread, under the lock: appends encoded bytes, then keeps only the newest kCaptureQueueLimit.
void AppendCaptured(VoiceState& state, const std::int16_t* samples, std::size_t count);
void ClearCaptureQueue(VoiceState& state);
bool HoldsToken(VoiceState& state);

// Exchange thread: the token, the channel and, when `take` and at least kExchangeMinSamples are
// queued, up to kExchangeMaxSamples bytes from the front appended to `body`.
struct ExchangeTake {
    std::string token;
    int channel = 0;
};
ExchangeTake TakeForExchange(VoiceState& state, bool take, std::string& body);

// The plugin's one instance, never destroyed.
VoiceState& PluginVoice();

}  // namespace hm
