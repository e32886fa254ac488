// Installation: the throw-away probe device whose method table gives the code addresses, the
// optional clean-frame hook, the cursor hooks, and the pass-through draw detours.
#include <mutex>
#include <stdexcept>

#include "base/edge.h"
#include "base/fault_seam.h"
#include "base/owners_win.h"
#include "base/plugin.h"
#include "base/shared_state.h"
#include "game/clean_frame.h"
#include "game/cursor_hooks_win.h"
#include "game/d3d9_detours_win.h"
#include "game/d3d9_faults_win.h"
#include "game/d3d9_hooks_win.h"
#include "game/frame_steps_win.h"
#include "game/graphics_state_win.h"
#include "game/hook_engine_win.h"
#include "game/present_rules.h"
#include "game/samp_win.h"

namespace hm {
namespace {

// ---- Probe ------------------------------------------------------------------------------------
bool TryCleanFrameHook() {
    const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
    RoutinePage page;
    MEMORY_BASIC_INFORMATION mbi{};
    if (VirtualQuery(reinterpret_cast<void*>(std::uintptr_t(kTwoDPassRoutine)), &mbi, sizeof mbi) == sizeof mbi) {
        page.queried = true;
        page.state = mbi.State;
        page.protect = mbi.Protect;
    }
    if (!CleanFrameHookAllowed(ProcessMemory(), GameAddress(base), page)) return false;
    void* through = nullptr;
    void* target = reinterpret_cast<void*>(std::uintptr_t(kTwoDPassRoutine));
    if (hook_engine::CreateHook(target, reinterpret_cast<void*>(&CleanFrameHook), &through) != kHookOk) return false;
    Graphics().through.clean_frame = reinterpret_cast<CleanFrameFn>(through);
    return true;
}

UniqueWindow CreateProbeWindow() {
    if (ShellCallFails(ShellCall::kProbeWindow)) throw std::runtime_error("cannot create probe window");
    UniqueWindow window(CreateWindowExW(0, L"STATIC", L"HM_Plugin graphics probe", 0, 0, 0, 640, 360, nullptr,
                                        nullptr, static_cast<HINSTANCE>(Plugin().module.load()), nullptr));
    if (!window) throw std::runtime_error("cannot create probe window");
    return window;
}

ComPtr<IDirect3DDevice9> CreateProbeDevice(IDirect3D9* d3d, HWND window) {
    ComPtr<IDirect3DDevice9> device;
    HRESULT hr = E_FAIL;
    if (d3d) {
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = 640;
        pp.BackBufferHeight = 360;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.BackBufferCount = 0;
        pp.MultiSampleType = D3DMULTISAMPLE_NONE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.hDeviceWindow = window;
        pp.Windowed = TRUE;
        hr = ShellCallOr(ShellCall::kCreateDevice, [&] {
            return d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                                     device.put());
        });
    }
    // A null object from Direct3DCreate9 counts as E_FAIL; so does a "success" without a device.
    ThrowIfFailed(377, FAILED(hr) ? hr : device ? S_OK : E_FAIL);
    return device;
}

}  // namespace

void InstallGraphicsHooks() {
    const UniqueWindow window = CreateProbeWindow();
    const ComPtr<IDirect3D9> d3d(ShellCallFails(ShellCall::kDirect3DCreate9) ? nullptr
                                                                             : Direct3DCreate9(D3D_SDK_VERSION));
    const ComPtr<IDirect3DDevice9> device = CreateProbeDevice(d3d.get(), window.get());

    GraphicsState& g = Graphics();
    void** table = *reinterpret_cast<void***>(device.get());
    const int init = hook_engine::Initialize();
    bool ok = init == kHookOk || init == kHookAlreadyInitialized;
    struct Slot {
        int index;
        void* detour;
        void** through;
    };
    const Slot slots[] = {
        {17, reinterpret_cast<void*>(&PresentHook), reinterpret_cast<void**>(&g.through.present)},
        {65, reinterpret_cast<void*>(&SetTextureHook), reinterpret_cast<void**>(&g.through.set_texture)},
        {81, reinterpret_cast<void*>(&DrawPrimitiveHook), reinterpret_cast<void**>(&g.through.draw_primitive)},
        {82, reinterpret_cast<void*>(&DrawIndexedPrimitiveHook),
         reinterpret_cast<void**>(&g.through.draw_indexed_primitive)},
        {83, reinterpret_cast<void*>(&DrawPrimitiveUPHook), reinterpret_cast<void**>(&g.through.draw_primitive_up)},
        {84, reinterpret_cast<void*>(&DrawIndexedPrimitiveUPHook),
         reinterpret_cast<void**>(&g.through.draw_indexed_primitive_up)},
        {41, reinterpret_cast<void*>(&BeginSceneHook), reinterpret_cast<void**>(&g.through.begin_scene)},
    };
    for (const Slot& s : slots) {
        if (!ok) break;
        ok = hook_engine::CreateHook(table[s.index], s.detour, s.through) == kHookOk;
    }
    if (ok) {
        g.clean_frame_hook.store(TryCleanFrameHook());
        // Made here on the worker, never on the render thread: creating a hook suspends every
        // other thread of the game, the render thread included.
        g.cursor_hooks.store(CreateCursorHooks());
    }
    if (auto install = PluginFrameSteps().install_game_and_samp_hooks) install();
    if (ok) ok = hook_engine::EnableHook(nullptr) == kHookOk;
    g.hooks_installed.store(ok);
    if (!ok) throw std::runtime_error("D3D9 method hook failed");
}

GraphicsCounters ReadGraphicsCounters() {
    const GraphicsState& g = Graphics();
    return {g.presents.load(),         g.overlay_uploads.load(), g.banner_uploads.load(),
            g.frame_failures.load(),   g.clean_captures.load(),  g.render_ticks.load(),
            g.foreign_presents.load(), g.world_textures_made.load(), g.hooks_installed.load(),
            g.clean_frame_hook.load(), g.cursor_hooks.load()};
}

// The worker's start-up step for the device hooks.
void InstallDirect3DHooks() { InstallGraphicsHooks(); }

}  // namespace hm

// ---- Diagnostics exports (tests and support) -----------------------------------------------------
// Counters of the frame work: 0 presents, 1 overlay uploads, 2 banner uploads, 3 frame failures,
// 4 clean-frame captures, 5 performance-counter ticks spent in the plugin's Present work, 6 the
// counter's frequency, 7 device hooks installed, 8 clean-frame hook installed, 9 the request id of
// the photo waiting in the PhotoFrame slot (0: none), 10 the pending PhotoRequest, 11 frames of
// other devices, 12 cursor hooks installed, 13 gallery textures made; -1 otherwise.
extern "C" __declspec(dllexport) long long HM_GraphicsCounter(int which) {
    return hm::AtTheEdge(-1LL, [which]() -> long long {
        const hm::GraphicsCounters c = hm::ReadGraphicsCounters();
        LARGE_INTEGER f;
        switch (which) {
            case 0: return (long long)c.presents;
            case 1: return (long long)c.overlay_uploads;
            case 2: return (long long)c.banner_uploads;
            case 3: return (long long)c.frame_failures;
            case 4: return (long long)c.clean_captures;
            case 5: return (long long)c.render_ticks;
            case 6: QueryPerformanceFrequency(&f); return f.QuadPart;
            case 7: return c.hooks_installed;
            case 8: return c.clean_frame_hook;
            case 9: {
                std::lock_guard<std::mutex> hold(hm::PluginShared().lock);
                return hm::PluginShared().photo_frame ? hm::PluginShared().photo_frame_request : 0;
            }
            case 10: return hm::PluginPhotoRequest().request.load();
            case 11: return (long long)c.foreign_presents;
            case 12: return c.cursor_hooks;
            case 13: return (long long)c.world_textures_made;
            default: return -1;
        }
    });
}
