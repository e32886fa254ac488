// libFuzzer target over the voice answer and capability parsers: only std::runtime_error may
// come out, and an accepted answer's frames must tile the body exactly.
//   cmake -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DHM_FUZZ=ON && cmake --build build/fuzz --target voice_answer_fuzz
//   build/fuzz/bin/voice_answer_fuzz -max_total_time=60
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "voice/exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    try {
        const hm::VoiceAnswer answer = hm::ParseVoiceAnswer(body);
        std::size_t at = 14;
        for (const hm::VoiceFrame& f : answer.frames) {
            if (f.offset != at + 6 || f.speaker >= 1000 || f.gain >= 256 || f.count < 160 || f.count > 3200) std::abort();
            at = f.offset + f.count;
        }
        if (at != body.size() || answer.frames.size() > 12) std::abort();
    } catch (const std::runtime_error&) {
    }
    try {
        const int mask = hm::CapabilityMaskOf(hm::ParseCapabilityValue(body));
        if (mask < 1 || mask > 63 || !(mask & 1)) std::abort();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
