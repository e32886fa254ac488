// The events answer: "HMNPC1", the new cursor, the count 0..8 and six tokens an event, separated
// by white space, at most 8192 bytes. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hm {

constexpr std::size_t kNpcManifestLimit = 8192;
constexpr std::size_t kNpcEventLimit = 8;
constexpr std::uint32_t kNpcClipMinBytes = 160;     // 10 ms of mu-law
constexpr std::uint32_t kNpcClipMaxBytes = 768000;  // 48 s

struct NpcVoiceEvent {
    std::uint64_t id = 0;       // never 0
    int npc = 0;                // 0..999
    int gain = 0;               // 0..255
    int delay_ms = 0;           // 0..1500, from queueing to the start
    std::uint32_t bytes = 0;    // exact clip length, kNpcClipMinBytes..kNpcClipMaxBytes
    std::string hash;           // 64 lower-case hex digits; the clip's cache key
};

struct NpcManifest {
    std::uint64_t cursor = 0;
    std::vector<NpcVoiceEvent> events;
};

// Throws std::runtime_error: "NPC manifest too large", "NPC manifest header", "NPC manifest
// event" or "NPC manifest trailing data". Nothing is returned unless the whole text is valid.
NpcManifest ParseNpcManifest(const std::string& body);

// The near answer of the playing event: a decimal integer (sign and surrounding white space
// allowed), clamped to 0..255 however long it is. Throws "invalid NPC gain" on anything else.
int ParseNpcGain(const std::string& body);

}  // namespace hm
