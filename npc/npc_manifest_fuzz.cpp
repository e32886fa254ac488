// libFuzzer target of the NPC manifest and gain parsers: only std::runtime_error may come out,
// and an accepted manifest keeps its limits.
//   cmake -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DHM_FUZZ=ON && cmake --build build/fuzz --target npc_manifest_fuzz
//   build/fuzz/bin/npc_manifest_fuzz npc/fuzz_corpus/npc_manifest_fuzz -max_total_time=60
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "npc/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    try {
        const hm::NpcManifest m = hm::ParseNpcManifest(body);
        if (body.size() > hm::kNpcManifestLimit || m.events.size() > hm::kNpcEventLimit) std::abort();
        for (const hm::NpcVoiceEvent& e : m.events)
            if (e.id == 0 || e.npc > 999 || e.gain > 255 || e.delay_ms > 1500 || e.bytes < hm::kNpcClipMinBytes ||
                e.bytes > hm::kNpcClipMaxBytes || e.hash.size() != 64)
                std::abort();
    } catch (const std::runtime_error&) {
    }
    try {
        const int gain = hm::ParseNpcGain(body);
        if (gain < 0 || gain > 255) std::abort();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
