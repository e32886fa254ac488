// The NPC events pass (every 400 or 800 ms): the gain of the playing event, new events after the
// cursor, their clips and the near answers, over request, session, clock and sleep seams so tests
// script the server.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/ticks.h"
#include "net/api_types.h"
#include "npc/npc_state.h"

namespace hm {

struct NpcSession {
    std::string token;  // empty: no session
    std::uint32_t generation = 0;
};

struct NpcEventsSeams {
    // GET of a path with the token as bearer; throws on transport failure.
    std::function<ApiResponse(const std::string& path, const std::string& bearer)> get;
    std::function<NpcSession()> session;  // token and generation, read together under their lock
    TickSource now;
    std::function<void(int ms)> sleep;
};

// Private to the events thread.
struct NpcEventsRecord {
    bool started = false;
    std::uint32_t generation_seen = 0;
    std::uint64_t cursor = 0;
    bool ask_init = true;  // "&init=1" on the next events request
    NpcAudioCache cache;
    NpcSeenSet seen;
    std::string last_failure;       // text of the last abandoned pass, for tests and support
    long long audio_downloads = 0;  // clip answers that entered the cache
    long long audio_bytes = 0;      // their bytes
};

// One loop iteration including its sleep.
void NpcEventsPass(NpcEventsRecord& record, NpcState& state, NpcEventsSeams& seams);

}  // namespace hm
