// The NPC player pass (every 10 ms while an item is current, else 40 ms): Ctrl+N, the queue and
// one output at a time, over output, input, notice, session and clock seams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "base/ticks.h"
#include "game/input_rules.h"
#include "npc/npc_state.h"

namespace hm {

extern const wchar_t* const kNpcOnNotice;
extern const wchar_t* const kNpcOffNotice;

// One playback stream for one clip (core hands in a voice player on its own device).
class NpcOutput {
public:
    virtual ~NpcOutput() = default;
    // The whole clip as one block at `gain` (0..255) and `volume` (0..100); false when the block
    // was dropped (no device, failed prepare or write).
    virtual bool Play(const std::uint8_t* bytes, std::size_t count, int gain, int volume) = 0;
    virtual bool Finished() = 0;  // the written block has played to its end
    virtual void Release() = 0;   // reset (sound stops at once) and close the device
};

struct NpcToggleInputs {
    bool ctrl = false;
    bool n = false;
    bool game_in_front = false;
    bool chat_free = false;  // SA-MP chat input and dialog closed (false without samp.dll)
    bool ui_open = false;    // a plugin screen is open
};

struct NpcPlayerSeams {
    std::function<std::uint32_t()> generation;  // session generation
    TickSource now;
    std::function<std::unique_ptr<NpcOutput>()> new_output;
    std::function<NpcToggleInputs()> inputs;
    std::function<void(const wchar_t*)> notice;
};

// Private to the player thread.
struct NpcPlayerRecord {
    bool started = false;
    std::uint32_t generation_seen = 0;
    EdgeTrigger ctrl_n;
    std::optional<NpcPlayItem> current;
    std::unique_ptr<NpcOutput> output;
    bool written = false;
    long long played = 0;   // clips played to their end
    long long cut = 0;      // clips stopped by a gain of 0
    long long dropped = 0;  // clips whose block could not be written
};

// One pass without its sleep; returns the sleep before the next one (10 or 40 ms).
int NpcPlayerPass(NpcPlayerRecord& record, NpcState& state, NpcPlayerSeams& seams);

// Thread end: the output released, nothing playing.
void EndNpcPlayer(NpcPlayerRecord& record, NpcState& state);

}  // namespace hm
