// The per-frame work on the game's render thread: PresentHook and its steps (heads-up layer,
// overlay, pairing command), BeginSceneHook and the clean-frame hook.
//
// Index: Device adoption | Steps | Drawing | Overlay input | Pairing | Detours
#include <cstring>
#include <mutex>
#include <string>

#include "base/edge.h"
#include "base/fault_seam.h"
#include "base/overlay_frame.h"
#include "base/plugin.h"
#include "base/shared_state.h"
#include "game/cursor_hooks_win.h"
#include "game/d3d9_detours_win.h"
#include "game/d3d9_faults_win.h"
#include "game/d3d9_hooks_win.h"
#include "game/frame_steps_win.h"
#include "game/graphics_state_win.h"
#include "game/input_state.h"
#include "game/input_win.h"
#include "game/samp_win.h"

namespace hm {

GraphicsState& Graphics() {
    static GraphicsState& state = *new GraphicsState;
    return state;
}

FrameSteps& PluginFrameSteps() {
    static FrameSteps& steps = *new FrameSteps;
    return steps;
}

namespace {

// ---- Device adoption --------------------------------------------------------------------------
// The window a device's frames go to: its focus window, else its swap chain's window.
HWND DeviceWindow(IDirect3DDevice9* d) {
    D3DDEVICE_CREATION_PARAMETERS cp{};
    if (SUCCEEDED(d->GetCreationParameters(&cp)) && cp.hFocusWindow) return cp.hFocusWindow;
    ComPtr<IDirect3DSwapChain9> chain;
    D3DPRESENT_PARAMETERS pp{};
    if (SUCCEEDED(d->GetSwapChain(0, chain.put())) && chain && SUCCEEDED(chain->GetPresentParameters(&pp)))
        return pp.hDeviceWindow;
    return nullptr;
}

// The game's window is the first window a device presents to, and stays the game's while it
// exists: the game presents from its first frame, while another overlay's own device presents to a
// window of its own. A device on another window is left alone. A game device recreated on the
// same window (or after the old window went) is adopted, and what was made on the old one dropped.
bool AdoptGameDevice(GraphicsState& g, IDirect3DDevice9* d) {
    if (d == g.game_device.load(std::memory_order_relaxed)) {
        if (!g.game_device_window || IsWindow(g.game_device_window)) return true;
        // Our device was released and a new one made at its address for a new window: nothing
        // made on the old one may be used on it.
        const HWND window = DeviceWindow(d);
        if (!window || window == g.game_device_window) return true;
        g.game_device_window = window;
        g.resources.device = nullptr;
        return true;
    }
    const HWND window = DeviceWindow(d);
    if (!window) return false;
    if (g.game_device_window && window != g.game_device_window && IsWindow(g.game_device_window)) return false;
    g.game_device_window = window;
    g.game_device.store(d);
    return true;
}

void UseDevice(GraphicsState& g, IDirect3DDevice9* d) {
    if (g.resources.device == d) return;
    if (const auto reset = PluginFrameSteps().reset_banner) reset();
    g.resources = DeviceResources{};
    g.resources.device = d;
}

// ---- Steps ------------------------------------------------------------------------------------
// Each step fails on its own, so one failing every frame does not starve the others.
template <typename Step>
void RunStep(GraphicsState& g, Step&& step) noexcept {
    try {
        step();
    } catch (...) {
        g.frame_failures.fetch_add(1);
        g.outbox.Post(kFrameFailureNotice);
    }
}

void RefreshBannerTexture(GraphicsState& g, IDirect3DDevice9* d, Tick now) {
    const FrameSteps& steps = PluginFrameSteps();
    if (!steps.refresh_banner) return;
    // Only a photo actually shown hides the banner: Ctrl+F11 with no photo leaves it.
    const bool photo_shown = steps.photo_drawn && steps.photo_drawn();
    PixelsRef bitmap;
    if (!steps.refresh_banner(now, photo_shown, bitmap)) return;
    DeviceResources& res = g.resources;
    res.banner_texture.reset();
    res.banner_height = 0;
    if (bitmap) {
        res.banner_texture = TextureFromPixels(d, *bitmap, 311, 312);
        res.banner_height = int(bitmap->height());
        g.banner_uploads.fetch_add(1);
    }
}

// The texture is rebuilt only when the version moved; the lock is only tried.
void RefreshOverlayTexture(GraphicsState& g, IDirect3DDevice9* d) {
    DeviceResources& res = g.resources;
    FrameRef frame;
    int version = 0;
    if (!TakeOverlayFrame(PluginOverlay(), res.overlay_version, frame, version)) return;
    ComPtr<IDirect3DTexture9> fresh;
    if (!IsEmptyFrame(frame)) fresh = TextureFromPixels(d, *frame);
    res.overlay_texture = std::move(fresh);
    res.overlay_version = version;
    if (res.overlay_texture) g.overlay_uploads.fetch_add(1);
}

// ---- Drawing ------------------------------------------------------------------------------------
struct TexVertex {
    float x, y, z, rhw, u, v;
};
struct DiffuseVertex {
    float x, y, z, rhw;
    DWORD colour;
};
static_assert(sizeof(TexVertex) == 24 && sizeof(DiffuseVertex) == 20, "vertex strides");

void DrawTexturedQuad(IDirect3DDevice9* d, IDirect3DTexture9* texture, const std::array<ScreenVertex, 4>& quad) {
    TexVertex v[4];
    for (std::size_t i = 0; i < 4; ++i) v[i] = {quad[i].x, quad[i].y, 0, 1, quad[i].u, quad[i].v};
    SetPluginQuadStates(d, texture, true);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex));
}

void DrawPluginCursor(IDirect3DDevice9* d, const CanvasPlacement& p, int cx, int cy) {
    float hx = 0, hy = 0;
    CursorHotSpot(p, cx, cy, hx, hy);
    const auto tris = CursorTriangles(hx, hy, p.scale);
    DiffuseVertex v[18];
    for (std::size_t i = 0; i < tris.size(); ++i) v[i] = {tris[i].x, tris[i].y, 0, 1, tris[i].colour};
    d->SetTexture(0, nullptr);
    d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 6, v, sizeof(DiffuseVertex));
}

void DrawBanner(const DeviceResources& res, IDirect3DDevice9* d, const D3DVIEWPORT9& vp) {
    const auto place = PluginFrameSteps().place_banner;
    if (!res.banner_texture || !place) return;
    std::array<ScreenVertex, 4> quad;
    if (!place(int(vp.Width), res.banner_height, quad)) return;
    DrawTexturedQuad(d, res.banner_texture.get(), quad);
}

void DrawOverlay(const DeviceResources& res, IDirect3DDevice9* d, const D3DVIEWPORT9& vp) {
    OverlayState& overlay = PluginOverlay();
    const CanvasPlacement place = PlaceOverlay(float(vp.Width), float(vp.Height));
    InputCaptureState& input = PluginInput();
    input.scale.store(place.scale);
    input.offset_x.store(place.offset_x);
    input.offset_y.store(place.offset_y);
    DrawTexturedQuad(d, res.overlay_texture.get(), OverlayQuad(place));
    if (overlay.plugin_cursor_visible.load() && !overlay.computer_minimized.load() && IsGameInFront())
        DrawPluginCursor(d, place, overlay.cursor_x.load(), overlay.cursor_y.load());
}

// Everything the plugin draws, inside one scene and one captured state block: the game's states
// come back on every path, a draw that throws included. Nothing is done for an empty viewport.
void DrawPluginLayers(GraphicsState& g, IDirect3DDevice9* d) {
    const DeviceResources& res = g.resources;
    const FrameSteps& steps = PluginFrameSteps();
    const bool overlay = PluginInput().ui_window.load() != 0 && res.overlay_texture;
    if (!overlay && !res.banner_texture && !steps.draw_shown_photo && !steps.draw_television_picture) return;
    D3DVIEWPORT9 vp{};
    if (FAILED(d->GetViewport(&vp)) || vp.Width == 0 || vp.Height == 0) return;

    // Made every frame, as a state block must not outlive a Reset of the game's device.
    ComPtr<IDirect3DStateBlock9> block;
    const HRESULT hr =
        ShellCallOr(ShellCall::kCreateStateBlock, [&] { return d->CreateStateBlock(D3DSBT_ALL, block.put()); });
    ThrowIfFailedOrNull(763, hr, block.get());
    ThrowIfFailed(763, block->Capture());
    auto restore = OnScopeExit([&] { block->Apply(); });
    if (FAILED(d->BeginScene())) return;
    auto end = OnScopeExit([&] { d->EndScene(); });
    g.drawing_own_layers = true;
    auto own = OnScopeExit([&] { g.drawing_own_layers = false; });
    if (steps.draw_shown_photo) RunStep(g, [&] { steps.draw_shown_photo(d); });
    // The banner texture was chosen before the photo knew this frame's state: decide again here.
    if (!(steps.photo_drawn && steps.photo_drawn())) RunStep(g, [&] { DrawBanner(res, d, vp); });
    if (steps.draw_television_picture) RunStep(g, [&] { steps.draw_television_picture(d); });
    if (overlay) RunStep(g, [&] { DrawOverlay(res, d, vp); });
}

// ---- Overlay input ----------------------------------------------------------------------------
void RestoreDeviceCursor(GraphicsState& g, IDirect3DDevice9* d) {
    if (g.show_cursor_off && g.cursor_device == d) d->ShowCursor(g.show_cursor_previous);
    g.show_cursor_off = false;
    g.cursor_device = nullptr;
}

void PostPicture(HWND ui, int id, PixelsRef image) {
    auto* record = new PictureRecord{id, std::move(image)};
    if (!PostMessageW(ui, kPictureMessage, 0, reinterpret_cast<LPARAM>(record))) delete record;
}

void ServeScreenRegion(GraphicsState& g, IDirect3DDevice9* d, HWND ui, int id) {
    const PixelsRef back = ReadBackBuffer(d);
    g.region.Served(id);
    const RegionCut cut = CutScreenRegion(back->width(), back->height());
    if (!RegionFits(cut, back->width(), back->height())) return;
    PixelsRef image = MakePixels(cut.width, cut.height);
    for (std::uint32_t y = 0; y < cut.height; ++y)
        std::memcpy(image->row(y), back->row(cut.y + y) + std::size_t(cut.x) * 4, std::size_t(cut.width) * 4);
    PostPicture(ui, id, std::move(image));
}

// The UI is gone: undo everything the overlay step set up.
void CloseOverlay(GraphicsState& g, IDirect3DDevice9* d) {
    PluginOverlay().screen_region_request.store(0);
    g.region.Reset();
    RemoveGameMessageHook();
    RestoreDeviceCursor(g, d);
    if (HCURSOR saved = g.saved_cursor.exchange(nullptr)) CallSetCursor(saved);
    if (g.subclassed_window) {
        // Someone who subclassed the window after us keeps it: putting ours back would cut them off.
        const auto current = reinterpret_cast<WNDPROC>(GetWindowLongW(g.subclassed_window, GWL_WNDPROC));
        if (IsGameWindowSubclassed() && current == &GameWindowProc) RestoreGameWindow();
        g.subclassed_window = nullptr;
    }
}

// Cursor, screen-region request and window subclass while the UI is open; the closing rule when not.
void RunOverlayInputStep(GraphicsState& g, IDirect3DDevice9* d, Tick now, bool device_usable) {
    OverlayState& overlay = PluginOverlay();
    const HWND ui = reinterpret_cast<HWND>(PluginInput().ui_window.load());
    if (!ui) {
        CloseOverlay(g, d);
        return;
    }
    const bool minimized = overlay.computer_minimized.load();
    const bool front = IsGameInFront();
    if (!minimized) {
        if (!g.show_cursor_off || g.cursor_device != d) {
            g.show_cursor_previous = d->ShowCursor(FALSE);
            g.show_cursor_off = true;
            g.cursor_device = d;
        } else {
            d->ShowCursor(FALSE);
        }
        if (front) {
            if (HCURSOR previous = CallSetCursor(nullptr)) g.saved_cursor.store(previous);
        }
    } else {
        overlay.screen_region_request.store(0);
        RemoveGameMessageHook();
        RestoreDeviceCursor(g, d);
        CallSetCursor(LoadCursorW(nullptr, IDC_ARROW));
    }

    const int id = overlay.screen_region_request.load();
    if (device_usable && g.region.Due(id, now)) ServeScreenRegion(g, d, ui, id);

    if (!g.subclassed_window && g.game_device_window) {
        g.subclassed_window = g.game_device_window;
        SubclassGameWindow(g.subclassed_window);
    }
    if (!minimized && g.subclassed_window && !IsGameMessageHookInstalled()) InstallGameMessageHook(g.subclassed_window);
}

// ---- Pairing chat command ---------------------------------------------------------------------
void RunPairingCommandStep(GraphicsState& g, Tick now) {
    PairingInputs in;
    in.connected = Plugin().connected.load();
    in.consent_given = Plugin().consent_given.load();
    in.computer_ui_running = IsComputerUiRunning();
    SharedState& shared = PluginShared();
    const std::string line =
        PairingCommandStep(in, now, g.next_pairing, shared.lock, shared.bind_code, {&IsGameInFront, &IsChatFree});
    if (!line.empty()) SendChatInput(line.c_str());
}

void RunFrame(GraphicsState& g, IDirect3DDevice9* d) {
    const Tick now = GetTickCount64();
    Plugin().last_frame_tick.store(now);
    FaultSiteReached(FaultSite::kPresent);
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    UseDevice(g, d);
    const FrameSteps& steps = PluginFrameSteps();
    // A lost device takes no uploads or draws until the game has reset it.
    const bool usable = ShellCallOr(ShellCall::kTestCooperativeLevel, [d] { return d->TestCooperativeLevel(); }) == D3D_OK;
    if (usable && steps.television_frame) RunStep(g, [&] { steps.television_frame(d); });
    if (usable && steps.world_textures) RunStep(g, [&] { steps.world_textures(d); });
    RunStep(g, [&] {
        if (TakeTimedOutPhotoRequest(PluginPhotoRequest(), now)) g.outbox.Post(kPhotoTimeoutNotice);
    });
    RunStep(g, [&] { RunOverlayInputStep(g, d, now, usable); });
    if (usable) {
        RunStep(g, [&] { RefreshBannerTexture(g, d, now); });
        RunStep(g, [&] { RefreshOverlayTexture(g, d); });
        RunStep(g, [&] { DrawPluginLayers(g, d); });
    }
    RunStep(g, [&] { RunPairingCommandStep(g, now); });
    SharedState& shared = PluginShared();
    g.outbox.Flush(shared.lock, shared.notices, now);
    QueryPerformanceCounter(&t1);
    g.render_ticks.fetch_add(std::uint64_t(t1.QuadPart - t0.QuadPart));
    g.presents.fetch_add(1);
}

}  // namespace

// ---- Detours ----------------------------------------------------------------------------------
HRESULT WINAPI PresentHook(IDirect3DDevice9* d, const RECT* src, const RECT* dst, HWND window, const RGNDATA* dirty) {
    GraphicsState& g = Graphics();
    // Whatever fails outside the frame's own steps still reaches the player as the frame notice.
    AtTheEdgeOr(
        [&] {
            if (AdoptGameDevice(g, d))
                RunFrame(g, d);
            else
                g.foreign_presents.fetch_add(1);
        },
        [&] {
            g.frame_failures.fetch_add(1);
            g.outbox.Post(kFrameFailureNotice);
            g.outbox.Flush(PluginShared().lock, PluginShared().notices, GetTickCount64());
        });
    return g.through.present(d, src, dst, window, dirty);
}

HRESULT WINAPI BeginSceneHook(IDirect3DDevice9* d) {
    GraphicsState& g = Graphics();
    // A device that never presented to the game's window is not a candidate for the clean frame.
    AtTheEdge([&] {
        FaultSiteReached(FaultSite::kBeginScene);
        if (d == g.game_device.load(std::memory_order_relaxed)) g.scene_device.store(d);
    });
    return g.through.begin_scene(d);
}

void __cdecl CleanFrameHook() {
    GraphicsState& g = Graphics();
    AtTheEdge([&g] {
        FaultSiteReached(FaultSite::kCleanFrame);
        IDirect3DDevice9* d = g.scene_device.load();
        if (d != g.game_device.load()) d = nullptr;  // the game's device was replaced since
        CleanFrameInputs in;
        in.device_seen = d != nullptr;
        in.connected = Plugin().connected.load();
        in.game_in_front = in.device_seen && in.connected && IsGameInFront();
        SharedState& shared = PluginShared();
        const std::uint64_t before = g.clean.captures();
        g.clean.Run(in, ProcessMemory(), GetTickCount64(), PluginPhotoRequest(),
                    [d] { return CaptureCleanFrame(d); }, shared.lock, Plugin().connected,
                    PhotoSlot{shared.photo_frame, shared.photo_frame_request}, g.outbox);
        g.clean_captures.fetch_add(g.clean.captures() - before);
    });
    g.through.clean_frame();
}

}  // namespace hm
