// The detours of the game's fixed-address routines. Each is a member function of the game
// (`this` in ECX, callee pops), reaches the game's own code through its trampoline and runs the
// portable decisions at the edge, so nothing the plugin does can keep the game's call from
// happening.
#include "vehicle/vehicle_hooks_win.h"

#include <windows.h>

#include <cmath>
#include <thread>

#include "base/edge.h"
#include "base/media_session.h"
#include "base/plugin.h"
#include "game/drawing_class.h"
#include "game/game_hooks_win.h"
#include "game/input_state.h"
#include "game/input_win.h"
#include "game/samp.h"
#include "game/samp_win.h"
#include "net/api_request_win.h"
#include "vehicle/camera_data.h"
#include "vehicle/game_facts.h"
#include "vehicle/vehicle_state.h"

namespace hm {

namespace {

using MemberFn = void(__thiscall*)(void*);
using PairFn = int(__thiscall*)(void*, void*, void*);
using BonePositionFn = void(__thiscall*)(void*, float*, unsigned, bool);
using FrameRefreshFn = void*(__cdecl*)(void*);

struct Trampolines {
    MemberFn object_process = nullptr;
    PairFn collision_truck_is_this = nullptr;      // 0x6ACE70
    PairFn collision_truck_is_argument = nullptr;  // 0x546D00
    MemberFn vehicle_render = nullptr;
    MemberFn entity_draw = nullptr;                // camera hook A
    MemberFn camera_update = nullptr;              // camera hook B
};
Trampolines g_through;

GameAddress Address(const void* p) { return GameAddress(reinterpret_cast<std::uintptr_t>(p)); }

bool KeyHeld(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

// Writes into the game's memory that fail instead of faulting.
bool WriteGame(GameAddress address, const void* bytes, std::size_t size) {
    if (address <= kLowestReadableAddress) return false;
    SIZE_T written = 0;
    return WriteProcessMemory(GetCurrentProcess(), reinterpret_cast<void*>(std::uintptr_t(address)), bytes, size,
                              &written) &&
           written == size;
}

class GameCockpitWorld : public CockpitWorld {
public:
    explicit GameCockpitWorld(void* self) : self_(self) {}
    bool called = false;

    const MemoryReader& Memory() const override { return ProcessMemory(); }
    bool Write(GameAddress address, const void* bytes, std::size_t size) override {
        return WriteGame(address, bytes, size);
    }
    void CallThrough() override {
        if (called) return;
        called = true;
        g_through.camera_update(self_);
    }
    void RefreshLeanMatrix(GameAddress vehicle) override {
        reinterpret_cast<MemberFn>(std::uintptr_t(gta::kLeanMatrixRoutine))(reinterpret_cast<void*>(std::uintptr_t(vehicle)));
    }
    bool HeadPosition(GameAddress ped, V3& out) override {
        float position[3] = {NAN, NAN, NAN};
        reinterpret_cast<BonePositionFn>(std::uintptr_t(gta::kBonePositionRoutine))(
            reinterpret_cast<void*>(std::uintptr_t(ped)), position, gta::kHeadBone, true);
        out = {position[0], position[1], position[2]};
        return true;
    }
    CockpitKeys SampleKeys() override {
        CockpitKeys k;
        k.c = KeyHeld('C');
        k.ctrl = KeyHeld(VK_CONTROL);
        k.alt = KeyHeld(VK_MENU);
        k.numpad1 = KeyHeld(VK_NUMPAD1);
        k.numpad2 = KeyHeld(VK_NUMPAD2);
        k.numpad4 = KeyHeld(VK_NUMPAD4);
        k.numpad6 = KeyHeld(VK_NUMPAD6);
        k.numpad8 = KeyHeld(VK_NUMPAD8);
        k.game_in_front = IsGameInFront();
        k.computer_ui = PluginInput().ui_window.load() != 0;
        k.photo_visible = Plugin().photo_visible.load();
        k.chat_free = IsChatFree();
        return k;
    }
    Tick Now() override { return Tick(GetTickCount64()); }

private:
    void* self_;
};

void __thiscall CameraUpdateDetour(void* camera) {
    GameCockpitWorld world(camera);
    AtTheEdge([&] { RunCameraUpdate(PluginVehicles().camera, Address(camera), world); });
    if (!world.called) g_through.camera_update(camera);
}

void __thiscall EntityDrawDetour(void* entity) {
    if (!ShouldDrawEntity(PluginVehicles().camera, Address(entity))) return;
    g_through.entity_draw(entity);
}

void __thiscall VehicleRenderDetour(void* vehicle) {
    const MemberFn through = g_through.vehicle_render;
    if (!through) return;  // never hooked: nothing reaches here
    bool drawn = false;
    AtTheEdge([&] {
        const MemoryReader& memory = ProcessMemory();
        const GameAddress self = Address(vehicle);
        if (EntityModel(memory, self) != gta::kLadderTruckModel) return;
        VehicleFeatures& v = PluginVehicles();
        const Tick now = Tick(GetTickCount64());
        StoreLadderAnchor(v.ladder, memory, self, now);
        LadderKeyInputs keys;
        keys.game_in_front = IsGameInFront();
        keys.computer_ui = PluginInput().ui_window.load() != 0;
        keys.photo_visible = Plugin().photo_visible.load();
        keys.chat_free = [] { return IsChatFree(); };
        keys.key_held = [](int vk) { return KeyHeld(vk); };
        keys.send = [](const char* text) { return SendChatInput(text); };
        RunLadderKeys(v.ladder, memory, self, now, keys);
        LadderDrawSeams seams;
        seams.write = &WriteGame;
        seams.refresh_frame = [](GameAddress frame) {
            reinterpret_cast<FrameRefreshFn>(std::uintptr_t(gta::kFrameRefreshRoutine))(
                reinterpret_cast<void*>(std::uintptr_t(frame)));
        };
        seams.call_through = [&] {
            drawn = true;
            through(vehicle);
        };
        DrawWithoutBuiltInLadder(memory, self, seams);
    });
    if (!drawn) through(vehicle);
}

void __thiscall ObjectProcessDetour(void* entity) {
    const bool piece = AtTheEdge(false, [&] {
        return IsLadderPiece(PluginVehicles().ladder, ProcessMemory(), Address(entity), Tick(GetTickCount64()));
    });
    if (!piece) {
        g_through.object_process(entity);
        return;
    }
    const ScopedDrawingClass ladder(kLadderPieceDrawingClass);
    g_through.object_process(entity);
}

// 0x546D00: the other entity is `this`, the truck the first argument.
int __thiscall CollisionTruckIsArgumentDetour(void* self, void* first, void* second) {
    const bool filtered = AtTheEdge(false, [&] {
        return IsFilteredCollisionCall(ProcessMemory(), CollisionRoutine::TruckIsArgument, Address(self), Address(first));
    });
    return filtered ? 0 : g_through.collision_truck_is_argument(self, first, second);
}

// 0x6ACE70: the truck is `this`.
int __thiscall CollisionTruckIsThisDetour(void* self, void* first, void* second) {
    const bool filtered = AtTheEdge(false, [&] {
        return IsFilteredCollisionCall(ProcessMemory(), CollisionRoutine::TruckIsThis, Address(self), Address(first));
    });
    return filtered ? 0 : g_through.collision_truck_is_this(self, first, second);
}

template <class Fn>
GameHookBinding Bind(Fn detour, Fn& through) {
    return {reinterpret_cast<void*>(detour), reinterpret_cast<void**>(&through)};
}

}  // namespace

void InstallVehicleHooks() { InstallVehicleHooksFor(GameHookInputsOfThisProcess(Plugin().cockpit_camera.load())); }

void InstallVehicleHooksFor(const GameHookInputs& inputs) {
    GameHookBindings b;
    b[std::size_t(GameHookRole::LadderProximity)] = Bind<MemberFn>(&ObjectProcessDetour, g_through.object_process);
    b[std::size_t(GameHookRole::LadderCollisionFilterA)] =
        Bind<PairFn>(&CollisionTruckIsThisDetour, g_through.collision_truck_is_this);
    b[std::size_t(GameHookRole::LadderCollisionFilterB)] =
        Bind<PairFn>(&CollisionTruckIsArgumentDetour, g_through.collision_truck_is_argument);
    b[std::size_t(GameHookRole::LadderVehicleRender)] = Bind<MemberFn>(&VehicleRenderDetour, g_through.vehicle_render);
    b[std::size_t(GameHookRole::CameraA)] = Bind<MemberFn>(&EntityDrawDetour, g_through.entity_draw);
    b[std::size_t(GameHookRole::CameraB)] = Bind<MemberFn>(&CameraUpdateDetour, g_through.camera_update);
    const GameHooksInstalled made = InstallGameHooksFor(inputs, b);
    VehicleFeatures& v = PluginVehicles();
    v.camera_hooks.store(made.camera);
    v.vehicle_render_hook.store(made.vehicle_render);
    v.game_hooks.store(made.created);
}

void StartCockpitDataThread(const ApiClient& client) {
    std::thread([client] {
        AtTheEdge([&] {
            CameraDataSeams seams;
            seams.client = client;
            seams.request = &ApiRequest;
            seams.session = [] {
                const MediaSessionCopy copy = ReadMediaSession(PluginMediaSession());
                return CameraSessionCopy{copy.token, copy.generation};
            };
            seams.generation = [] { return PluginMediaSession().generation.load(); };
            seams.now = [] { return Tick(GetTickCount64()); };
            CameraDataState state;
            CockpitCamera& camera = PluginVehicles().camera;
            while (!Plugin().stop_flag.load()) {
                const unsigned pause =
                    CameraDataStep(state, camera.cache, camera.shared.requested_model.load(), seams);
                // In slices, so a stop is noticed quickly.
                for (unsigned slept = 0; slept < pause && !Plugin().stop_flag.load(); slept += 50) Sleep(50);
            }
        });
    }).detach();
}

std::wstring CockpitStatusLine() {
    const VehicleFeatures& v = PluginVehicles();
    CameraStatusInputs in;
    in.switched_on = Plugin().cockpit_camera.load();
    in.hooks_installed = v.camera_hooks.load();
    const GameAddress samp = GameAddress(reinterpret_cast<std::uintptr_t>(GetModuleHandleW(L"samp.dll")));
    in.samp_recognised = samp != 0 && FindSampBuild(ProcessMemory(), samp) != nullptr;
    in.status = v.camera.shared.status.load();
    in.model = v.camera.shared.requested_model.load();
    in.mode = v.camera.shared.mode.load();
    return CameraStatusText(in);
}

bool TakeCockpitCabView(CabView& out) { return TakeCabView(PluginVehicles().camera, out); }

}  // namespace hm

// ---- Diagnostics export (tests and support) ---------------------------------------------------
// 0 camera status, 1 requested model, 2 game camera mode, 3 camera on, 4 camera hooks in place,
// 5 fixed-address hooks created, 6 vehicle render hook in place, 7 cached camera records
// (-1 while the cache is busy), 8 the calling thread's drawing class; -1 otherwise.
extern "C" __declspec(dllexport) long long HM_VehicleCounter(int which) {
    return hm::AtTheEdge(-1LL, [which]() -> long long {
        hm::VehicleFeatures& v = hm::PluginVehicles();
        switch (which) {
            case 0: return v.camera.shared.status.load();
            case 1: return v.camera.shared.requested_model.load();
            case 2: return v.camera.shared.mode.load();
            case 3: return v.camera.shared.camera_on.load();
            case 4: return v.camera_hooks.load();
            case 5: return v.game_hooks.load();
            case 6: return v.vehicle_render_hook.load();
            case 7: {
                std::unique_lock<std::mutex> hold(v.camera.cache.lock, std::try_to_lock);
                return hold.owns_lock() ? static_cast<long long>(v.camera.cache.records.size()) : -1;
            }
            case 8: return hm::DrawingClass;
            default: return -1;
        }
    });
}
