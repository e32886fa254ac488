// The NPC voice threads: events (every 400 or 800 ms) and player (every 10 or 40 ms), started
// detached once by the worker; both end on the plugin's stop flag.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "net/api_types.h"
#include "npc/events.h"
#include "npc/player.h"

namespace hm {

// What the threads take from the rest of the plugin, filled by the worker's start-up.
struct NpcThreadSeams {
    std::function<NpcSession()> session;                 // token and generation under their lock
    std::function<std::uint32_t()> generation;           // the generation alone, without the lock
    std::function<std::unique_ptr<NpcOutput>()> new_output;
    std::function<NpcToggleInputs()> inputs;             // Ctrl+N and its conditions, this pass
    std::function<void(const wchar_t*)> notice;
};

// Worker thread, once: PluginNpc() must be configured first. Throws when a thread cannot start.
void StartNpcThreads(const ApiClient& client, const NpcThreadSeams& seams);

}  // namespace hm
