#include "game/game_hooks_win.h"

#include <windows.h>

#include "game/hook_engine_win.h"
#include "game/samp_win.h"

namespace hm {

namespace {

// SizeOfImage from the PE optional header; 0 when unreadable.
std::uint32_t ImageSize(const MemoryReader& memory, GameAddress base) {
    std::uint32_t lfanew = 0, size = 0;
    if (!GuardedRead32(memory, base + 0x3C, lfanew) || lfanew > 4096) return 0;
    return GuardedRead32(memory, base + lfanew + 0x50, size) ? size : 0;
}

}  // namespace

GameHookInputs GameHookInputsOfThisProcess(bool cockpitCamera) {
    GameHookInputs in;
    in.main_module = GameAddress(reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)));
    in.cockpit_camera = cockpitCamera;
    in.samp_base = GameAddress(reinterpret_cast<std::uintptr_t>(GetModuleHandleW(L"samp.dll")));
    in.samp_size_of_image = in.samp_base ? ImageSize(ProcessMemory(), in.samp_base) : 0;
    return in;
}

GameHooksInstalled InstallGameAndSampHooks(const GameHookBindings& bindings, bool cockpitCamera) {
    return InstallGameHooksFor(GameHookInputsOfThisProcess(cockpitCamera), bindings);
}

GameHooksInstalled InstallGameHooksFor(const GameHookInputs& in, const GameHookBindings& bindings) {
    GameHooksInstalled out;
    const MemoryReader& memory = ProcessMemory();
    const GameHookCreation made = CreatePlannedHooks(
        PlanGameHooks(memory, in),
        [&bindings](const PlannedGameHook& hook) {
            const GameHookBinding& b = bindings[std::size_t(hook.role)];
            if (!b.detour || !b.through) return false;
            void* target = reinterpret_cast<void*>(std::uintptr_t(hook.target));
            if (hook_engine::CreateHook(target, b.detour, b.through) == kHookOk) return true;
            *b.through = nullptr;  // its detour stays inert
            return false;
        },
        [&bindings](const PlannedGameHook& hook) {
            hook_engine::RemoveHook(reinterpret_cast<void*>(std::uintptr_t(hook.target)));
            *bindings[std::size_t(hook.role)].through = nullptr;
        });
    out.created = made.count;
    out.camera = made.camera;
    out.vehicle_render = made.created[std::size_t(GameHookRole::LadderVehicleRender)];
    return out;
}

}  // namespace hm
