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

GameHooksInstalled InstallGameAndSampHooks(const GameHookBindings& bindings, bool cockpitCamera) {
    GameHooksInstalled out;
    const MemoryReader& memory = ProcessMemory();
    GameHookInputs in;
    in.main_module = GameAddress(reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)));
    in.cockpit_camera = cockpitCamera;
    in.samp_base = GameAddress(reinterpret_cast<std::uintptr_t>(GetModuleHandleW(L"samp.dll")));
    in.samp_size_of_image = in.samp_base ? ImageSize(memory, in.samp_base) : 0;

    bool camera_a = false;
    void* camera_a_target = nullptr;
    for (const PlannedGameHook& hook : PlanGameHooks(memory, in)) {
        const GameHookBinding& b = bindings[std::size_t(hook.role)];
        if (!b.detour || !b.through) continue;
        void* target = reinterpret_cast<void*>(std::uintptr_t(hook.target));
        if (hook.role == GameHookRole::CameraB && !camera_a) continue;  // the camera needs both
        const bool made = hook_engine::CreateHook(target, b.detour, b.through) == kHookOk;
        if (!made) *b.through = nullptr;
        if (made) ++out.created;
        switch (hook.role) {
            case GameHookRole::LadderVehicleRender: out.vehicle_render = made; break;
            case GameHookRole::CameraA:
                camera_a = made;
                camera_a_target = target;
                break;
            case GameHookRole::CameraB:
                if (!made) {
                    hook_engine::RemoveHook(camera_a_target);
                    *bindings[std::size_t(GameHookRole::CameraA)].through = nullptr;
                    --out.created;
                }
                out.camera = made;
                break;
            default: break;
        }
    }
    return out;
}

}  // namespace hm
