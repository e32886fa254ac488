// Which fixed-address routines of the game executable may be hooked. The game has one build;
// each target's bytes are compared before a hook is planned, so another build runs untouched.
#pragma once

#include <cstdint>
#include <vector>

#include "game/guarded_memory.h"

namespace hm {

constexpr GameAddress kGameImageBase = 0x400000;
constexpr GameAddress kCameraUpdateRoutine = 0x526FC0;      // gate, and camera hook B
constexpr GameAddress kLadderProximityRoutine = 0x59F180;
constexpr GameAddress kLadderCollisionFilterA = 0x6ACE70;
constexpr GameAddress kLadderCollisionFilterB = 0x546D00;
constexpr GameAddress kLadderVehicleRender = 0x6A2B10;
constexpr GameAddress kCameraTargetSlot = 0x86C3A0;         // holds camera hook A's target
constexpr GameAddress kGameCameraTarget = 0x5E7680;

enum class GameHookRole {
    LadderProximity,
    LadderCollisionFilterA,
    LadderCollisionFilterB,
    LadderVehicleRender,  // created without a byte check; its failure only disables it
    CameraA,
    CameraB,              // if it cannot be created, CameraA is removed again
};

struct PlannedGameHook {
    GameHookRole role;
    GameAddress target;
};

struct GameHookInputs {
    GameAddress main_module = 0;       // module handle of the game executable
    bool cockpit_camera = false;       // INI switch CockpitCamera
    GameAddress samp_base = 0;         // 0 when samp.dll is not loaded
    std::uint32_t samp_size_of_image = 0;
};

// Targets in creation order; empty when the game is not at 0x400000 or the gate bytes differ.
std::vector<PlannedGameHook> PlanGameHooks(const MemoryReader& memory, const GameHookInputs& inputs);

// Creating the planned hooks: `create` makes one (true: in place), `remove` takes one away again.
struct GameHookCreation {
    bool created[6] = {};  // by GameHookRole
    int count = 0;
    bool camera = false;   // A and B both in place: the cockpit camera is available
};
// Camera hook B is tried only after A, and B failing removes A again.
template <class Create, class Remove>
GameHookCreation CreatePlannedHooks(const std::vector<PlannedGameHook>& plan, Create&& create, Remove&& remove) {
    GameHookCreation out;
    GameAddress camera_a = 0;
    for (const PlannedGameHook& hook : plan) {
        const auto role = static_cast<std::size_t>(hook.role);
        if (hook.role == GameHookRole::CameraB && !out.created[std::size_t(GameHookRole::CameraA)]) continue;
        const bool made = create(hook);
        out.created[role] = made;
        out.count += made ? 1 : 0;
        if (hook.role == GameHookRole::CameraA) camera_a = hook.target;
        if (hook.role == GameHookRole::CameraB && !made) {
            remove(PlannedGameHook{GameHookRole::CameraA, camera_a});
            out.created[std::size_t(GameHookRole::CameraA)] = false;
            --out.count;
        }
    }
    out.camera = out.created[std::size_t(GameHookRole::CameraA)] && out.created[std::size_t(GameHookRole::CameraB)];
    return out;
}

}  // namespace hm
