// The exchange pass (about every 120 ms): capability requests, the sample exchange and the
// speakers' players, over request, clock, sleep and device seams so tests script the server.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/ticks.h"
#include "net/api_types.h"
#include "voice/voice_player.h"
#include "voice/voice_state.h"

namespace hm {

constexpr std::size_t kMaxPlayers = 8;
constexpr std::size_t kMaxFrames = 12;

// ---- Answers --------------------------------------------------------------------------------
struct VoiceFrame {
    std::uint16_t speaker = 0;
    std::uint16_t gain = 0;
    std::size_t offset = 0;  // of its samples in the body
    std::size_t count = 0;
};
struct VoiceAnswer {
    std::uint64_t cursor = 0;
    std::vector<VoiceFrame> frames;
};

// Validates the whole body before anything plays; throws std::runtime_error with the failure text.
VoiceAnswer ParseVoiceAnswer(const std::string& body);

// Signed decimal after leading white space, trailing characters ignored; throws when there is no
// number or it leaves the 32-bit range.
int ParseCapabilityValue(const std::string& body);
int CapabilityMaskOf(int value);  // the value when odd and 1..63, else 1
bool WorkRadioOf(int value);      // bit 5

// ---- The pass -------------------------------------------------------------------------------
struct ExchangeSeams {
    // method, path, bearer, body; throws on transport failure.
    std::function<ApiResponse(const std::string&, const std::string&, const std::string&, const std::string&)>
        request;
    TickSource now;
    std::function<void(int ms)> sleep;
    std::function<std::unique_ptr<WaveOutPort>()> new_output;
};

// Private to the exchange thread.
struct ExchangeRecord {
    bool started = false;
    std::uint32_t generation_seen = 0;
    std::uint64_t cursor = 0;
    Tick next_capability = 0;
    Tick backoff_until = 0;
    std::map<std::uint16_t, std::unique_ptr<VoicePlayer>> players;  // ordered by speaker id
    std::string last_failure;  // text of the last failed exchange, for tests and support
};

// One loop iteration including its sleep.
void ExchangePass(ExchangeRecord& record, VoiceState& state, ExchangeSeams& seams);

// Plays one validated answer's frames on the record's players.
void PlayVoiceAnswer(ExchangeRecord& record, VoiceState& state, ExchangeSeams& seams, const std::string& body,
                     const VoiceAnswer& answer);

}  // namespace hm
