// The fixed-address hooks of the game executable: one detour per planned role, created on the
// worker during installation and enabled together with the device hooks.
#pragma once

#include <array>

#include "game/game_hook_plan.h"

namespace hm {

// The detour of a role and where its trampoline goes (null there: no hook, or it was removed).
struct GameHookBinding {
    void* detour = nullptr;
    void** through = nullptr;
};
constexpr std::size_t kGameHookRoles = 6;
using GameHookBindings = std::array<GameHookBinding, kGameHookRoles>;  // indexed by GameHookRole

struct GameHooksInstalled {
    int created = 0;
    bool camera = false;          // hooks A and B both in place
    bool vehicle_render = false;
};

// Plans from this process's memory (the game at 0x400000, its gate bytes, samp.dll's image)
// and creates each planned hook. Camera hook B failing removes A again; a failed vehicle
// render hook leaves its trampoline null so its detour stays inert.
GameHooksInstalled InstallGameAndSampHooks(const GameHookBindings& bindings, bool cockpitCamera);

// This process's modules as the plan reads them.
GameHookInputs GameHookInputsOfThisProcess(bool cockpitCamera);
// The same installation for given modules (a test process holds no game at 0x400000).
GameHooksInstalled InstallGameHooksFor(const GameHookInputs& inputs, const GameHookBindings& bindings);

}  // namespace hm
