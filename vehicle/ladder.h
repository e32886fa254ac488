// The ladder truck's client side: anchors of recent trucks, the numpad ladder keys, the hidden
// built-in ladder, the collision filter and the ladder-piece test. Game thread only; portable
// over a MemoryReader so tests give a fake address space.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "base/ticks.h"
#include "game/guarded_memory.h"

namespace hm {

struct LadderAnchor {
    GameAddress vehicle = 0;  // 0: empty slot
    float x = 0.0f, y = 0.0f, z = 0.0f;
    Tick tick = 0;
};

constexpr std::size_t kLadderAnchorSlots = 16;
constexpr Tick kLadderKeyIntervalMs = 185;
constexpr Tick kLadderAnchorLifetimeMs = 250;

struct LadderState {
    std::array<LadderAnchor, kLadderAnchorSlots> anchors{};
    Tick next_send = 0;
};

// Keys in the order they are tested, and what each sends.
struct LadderKey {
    int virtual_key;
    const char* command;
};
extern const std::array<LadderKey, 6> kLadderKeys;

// Anchor = position + 0.65 forward + 1.17 up of the truck's matrix; false when unreadable.
bool StoreLadderAnchor(LadderState& state, const MemoryReader& memory, GameAddress vehicle, Tick now);

struct LadderKeyInputs {
    bool game_in_front = false;
    bool computer_ui = false;
    bool photo_visible = false;
    std::function<bool()> chat_free;       // IsChatFree, asked only when a key is held
    std::function<bool(int)> key_held;     // virtual key
    std::function<bool(const char*)> send;  // SendChatInput
};
// Sends the first held key's command when the player drives `vehicle` and the rate allows;
// returns the command sent, or null.
const char* RunLadderKeys(LadderState& state, const MemoryReader& memory, GameAddress vehicle, Tick now,
                          const LadderKeyInputs& in);

// The built-in ladder's frame when its chain (frame, parent, grandparent at vehicle + 1688)
// links back; empty otherwise.
std::optional<GameAddress> LadderFrame(const MemoryReader& memory, GameAddress vehicle);

// Draws the truck with its built-in ladder flattened: the frame's first row zeroed around the
// call, refreshed before and after. Without a sound chain (or when the rows cannot be saved)
// the game draws unchanged.
struct LadderDrawSeams {
    std::function<bool(GameAddress, const void*, std::size_t)> write;
    std::function<void(GameAddress)> refresh_frame;
    std::function<void()> call_through;
};
bool DrawWithoutBuiltInLadder(const MemoryReader& memory, GameAddress vehicle, const LadderDrawSeams& seams);

// The 16-bit model id of an entity; -1 when unreadable.
int EntityModel(const MemoryReader& memory, GameAddress entity);

// A truck and one of its ladder objects: the game must not collide them.
bool IsFilteredLadderPair(const MemoryReader& memory, GameAddress truck, GameAddress other);

// The two collision routines take the pair in opposite order: at 0x546D00 the truck is the
// first argument and the other entity `this`, at 0x6ACE70 the truck is `this`.
enum class CollisionRoutine { TruckIsArgument, TruckIsThis };
bool IsFilteredCollisionCall(const MemoryReader& memory, CollisionRoutine routine, GameAddress self,
                             GameAddress first_argument);

// A model-19425 object attached to a ladder truck or standing on a recent anchor's axis.
bool IsLadderPiece(const LadderState& state, const MemoryReader& memory, GameAddress entity, Tick now);

}  // namespace hm
