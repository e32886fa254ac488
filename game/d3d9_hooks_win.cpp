#include "game/d3d9_hooks_win.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

#include "base/plugin.h"
#include "base/shared_state.h"
#include "base/win_api_failure.h"
#include "game/clean_frame.h"
#include "game/hook_engine_win.h"
#include "game/input_state.h"
#include "game/input_win.h"
#include "game/present_rules.h"
#include "game/samp_win.h"
#include "ui/banner.h"
#include "ui/banner_win.h"
#include "base/overlay_frame.h"

namespace hm {
namespace {

// ---- Steps of subsystems that hang on the frame but are not built yet ---------------------------
// Each does nothing until its subsystem fills it.
void RunTelevisionFrameStep(IDirect3DDevice9*) {}    // TV frame upload
void RunWorldTextureStep(IDirect3DDevice9*) {}       // gallery / TV world textures
void DrawShownPhoto(IDirect3DDevice9*) {}            // Ctrl+F11 photo over the picture
void DrawTelevisionPicture(IDirect3DDevice9*) {}     // full-screen TV picture
void ReadVoiceBannerInputs(BannerInputs&) {}        // voice transmitting and its channel
void InstallGameAndSampHooks() {}                    // fixed-address game routines (camera, ladder)
// The computer UI's running flag belongs to the UI thread; until it exists, a live UiWindow is
// the computer UI running.
bool IsComputerUiRunning() { return PluginInput().ui_window.load() != 0; }

// ---- Trampolines ------------------------------------------------------------------------------
using PresentFn = HRESULT(WINAPI*)(IDirect3DDevice9*, const RECT*, const RECT*, HWND, const RGNDATA*);
using BeginSceneFn = HRESULT(WINAPI*)(IDirect3DDevice9*);
using SetTextureFn = HRESULT(WINAPI*)(IDirect3DDevice9*, DWORD, IDirect3DBaseTexture9*);
using DrawPrimitiveFn = HRESULT(WINAPI*)(IDirect3DDevice9*, D3DPRIMITIVETYPE, UINT, UINT);
using DrawIndexedPrimitiveFn = HRESULT(WINAPI*)(IDirect3DDevice9*, D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT);
using DrawPrimitiveUPFn = HRESULT(WINAPI*)(IDirect3DDevice9*, D3DPRIMITIVETYPE, UINT, const void*, UINT);
using DrawIndexedPrimitiveUPFn = HRESULT(WINAPI*)(IDirect3DDevice9*, D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*,
                                                   D3DFORMAT, const void*, UINT);
using CleanFrameFn = void(__cdecl*)();
using SetCursorPosFn = BOOL(WINAPI*)(int, int);
using SetCursorFn = HCURSOR(WINAPI*)(HCURSOR);

PresentFn g_present = nullptr;
BeginSceneFn g_beginScene = nullptr;
SetTextureFn g_setTexture = nullptr;
DrawPrimitiveFn g_drawPrimitive = nullptr;
DrawIndexedPrimitiveFn g_drawIndexedPrimitive = nullptr;
DrawPrimitiveUPFn g_drawPrimitiveUP = nullptr;
DrawIndexedPrimitiveUPFn g_drawIndexedPrimitiveUP = nullptr;
CleanFrameFn g_cleanFrame = nullptr;
std::atomic<SetCursorPosFn> g_setCursorPos{nullptr};
std::atomic<SetCursorFn> g_setCursor{nullptr};

std::atomic<bool> g_hooksInstalled{false};
std::atomic<bool> g_cleanFrameHookInstalled{false};
std::atomic<IDirect3DDevice9*> g_sceneDevice{nullptr};  // last device seen by BeginScene
std::atomic<HCURSOR> g_savedCursor{nullptr};            // Windows cursor to give back

std::atomic<std::uint64_t> g_presents{0}, g_overlayUploads{0}, g_bannerUploads{0}, g_frameFailures{0},
    g_cleanCaptures{0}, g_renderTicks{0};

template <class T>
void Release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

// ---- Render-thread bookkeeping ----------------------------------------------------------------
struct RenderState {
    IDirect3DDevice9* texture_device = nullptr;
    IDirect3DTexture9* overlay_texture = nullptr;
    int overlay_version = 0;

    bool show_cursor_off = false;
    BOOL show_cursor_previous = TRUE;
    IDirect3DDevice9* cursor_device = nullptr;
    HWND game_window = nullptr;

    IDirect3DDevice9* banner_device = nullptr;
    IDirect3DTexture9* banner_texture = nullptr;
    BannerLayer banner;

    ScreenRegionTracker region;
    Tick next_pairing = 0;
    RenderNoticeOutbox outbox;
    CleanFrameKeeper clean;
};
RenderState& Render() {
    static RenderState& state = *new RenderState;
    return state;
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

void SetQuadStates(IDirect3DDevice9* d, IDirect3DTexture9* texture) {
    d->SetVertexShader(nullptr);
    d->SetPixelShader(nullptr);
    d->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    d->SetRenderState(D3DRS_ZENABLE, 0);
    d->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    d->SetRenderState(D3DRS_FOGENABLE, 0);
    d->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 15);
    d->SetRenderState(D3DRS_SRGBWRITEENABLE, 0);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    d->SetTexture(0, texture);
}

// Captures every state, draws inside its own scene and puts the game's states back.
template <class Draw>
void DrawWithSavedState(IDirect3DDevice9* d, Draw draw) {
    IDirect3DStateBlock9* block = nullptr;
    const HRESULT hr = d->CreateStateBlock(D3DSBT_ALL, &block);
    if (FAILED(hr) || !block) throw WinApiFailure(763, std::uint32_t(hr));
    block->Capture();
    if (SUCCEEDED(d->BeginScene())) {
        draw();
        d->EndScene();
    }
    block->Apply();
    block->Release();
}

void DrawTexturedQuad(IDirect3DDevice9* d, IDirect3DTexture9* texture, const std::array<ScreenVertex, 4>& quad) {
    TexVertex v[4];
    for (int i = 0; i < 4; ++i) v[i] = {quad[std::size_t(i)].x, quad[std::size_t(i)].y, 0, 1, quad[std::size_t(i)].u, quad[std::size_t(i)].v};
    SetQuadStates(d, texture);
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

// ---- Heads-up layer ---------------------------------------------------------------------------
void DrawHeadsUpLayer(IDirect3DDevice9* d, Tick now) {
    RenderState& r = Render();
    if (r.banner_device != d) {
        Release(r.banner_texture);
        ResetBannerLayer(r.banner);
        r.banner_device = d;
    }
    SharedState& shared = PluginShared();
    BannerInputs in;
    in.photo_visible = Plugin().photo_visible.load();  // a shown photo hides the banner
    ReadVoiceBannerInputs(in);
    if (RefreshBannerLayer(r.banner, shared.lock, shared.notices, now, in)) {
        Release(r.banner_texture);
        if (r.banner.bitmap) {
            r.banner_texture = TextureFromPixels(d, *r.banner.bitmap, 311, 312);
            ++g_bannerUploads;
        }
    }
    if (r.banner_texture && r.banner.bitmap) {
        D3DVIEWPORT9 vp{};
        d->GetViewport(&vp);
        const BannerPlacement place = PlaceBanner(int(vp.Width), int(r.banner.bitmap->height()));
        if (place.visible) {
            const auto bq = BannerQuad(place);
            std::array<ScreenVertex, 4> quad;
            for (std::size_t i = 0; i < 4; ++i) quad[i] = {bq[i].x, bq[i].y, bq[i].u, bq[i].v};
            DrawWithSavedState(d, [&] { DrawTexturedQuad(d, r.banner_texture, quad); });
        }
    }
    DrawShownPhoto(d);
    DrawTelevisionPicture(d);
}

// ---- Overlay step -----------------------------------------------------------------------------
void RestoreDeviceCursor(IDirect3DDevice9* d) {
    RenderState& r = Render();
    if (r.show_cursor_off && r.cursor_device == d) d->ShowCursor(r.show_cursor_previous);
    r.show_cursor_off = false;
    r.cursor_device = nullptr;
}

HCURSOR CallSetCursor(HCURSOR cursor) {
    SetCursorFn through = g_setCursor.load();
    return through ? through(cursor) : ::SetCursor(cursor);
}

BOOL WINAPI SetCursorPosHook(int x, int y) {
    if (PluginInput().ui_window.load() != 0 && IsComputerUiRunning() && IsGameInFront()) return TRUE;
    return g_setCursorPos.load()(x, y);
}

HCURSOR WINAPI SetCursorHook(HCURSOR cursor) {
    if (PluginInput().ui_window.load() != 0 && IsComputerUiRunning() && !PluginOverlay().computer_minimized.load() &&
        IsGameInFront()) {
        if (cursor) g_savedCursor.store(cursor);
        cursor = nullptr;
    }
    return g_setCursor.load()(cursor);
}

void InstallCursorHooksOnce() {
    static bool tried = false;
    if (tried) return;
    tried = true;
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32) return;
    if (void* pos = reinterpret_cast<void*>(GetProcAddress(user32, "SetCursorPos"))) {
        void* through = nullptr;
        if (hook_engine::CreateHook(pos, reinterpret_cast<void*>(&SetCursorPosHook), &through) == kHookOk) {
            g_setCursorPos.store(reinterpret_cast<SetCursorPosFn>(through));
            hook_engine::EnableHook(pos);
        }
    }
    if (void* set = reinterpret_cast<void*>(GetProcAddress(user32, "SetCursor"))) {
        void* through = nullptr;
        if (hook_engine::CreateHook(set, reinterpret_cast<void*>(&SetCursorHook), &through) == kHookOk) {
            g_setCursor.store(reinterpret_cast<SetCursorFn>(through));
            hook_engine::EnableHook(set);
        }
    }
}

void PostPicture(HWND ui, int id, PixelsRef image) {
    auto* record = new PictureRecord{id, std::move(image)};
    if (!PostMessageW(ui, kPictureMessage, 0, reinterpret_cast<LPARAM>(record))) delete record;
}

void ServeScreenRegion(IDirect3DDevice9* d, HWND ui, int id) {
    const PixelsRef back = ReadBackBuffer(d);
    Render().region.Served(id);
    const RegionCut cut = CutScreenRegion(back->width(), back->height());
    if (!RegionFits(cut, back->width(), back->height())) return;
    PixelsRef image = MakePixels(cut.width, cut.height);
    for (std::uint32_t y = 0; y < cut.height; ++y)
        std::memcpy(image->row(y), back->row(cut.y + y) + std::size_t(cut.x) * 4, std::size_t(cut.width) * 4);
    PostPicture(ui, id, std::move(image));
}

// The UI is gone: undo everything the overlay step set up.
void CloseOverlay(IDirect3DDevice9* d) {
    RenderState& r = Render();
    PluginOverlay().screen_region_request.store(0);
    r.region.Reset();
    RemoveGameMessageHook();
    RestoreDeviceCursor(d);
    if (HCURSOR saved = g_savedCursor.exchange(nullptr)) CallSetCursor(saved);
    if (r.game_window) {
        // Someone who subclassed the window after us keeps it: putting ours back would cut them off.
        const auto current = reinterpret_cast<WNDPROC>(GetWindowLongW(r.game_window, GWL_WNDPROC));
        if (IsGameWindowSubclassed() && current == &GameWindowProc) RestoreGameWindow();
        r.game_window = nullptr;
    }
}

void RunOverlayStep(IDirect3DDevice9* d, Tick now) {
    RenderState& r = Render();
    OverlayState& overlay = PluginOverlay();
    const HWND ui = reinterpret_cast<HWND>(PluginInput().ui_window.load());
    if (!ui) {
        CloseOverlay(d);
    } else {
        const bool minimized = overlay.computer_minimized.load();
        const bool front = IsGameInFront();
        if (!minimized) {
            if (!r.show_cursor_off || r.cursor_device != d) {
                r.show_cursor_previous = d->ShowCursor(FALSE);
                r.show_cursor_off = true;
                r.cursor_device = d;
            } else {
                d->ShowCursor(FALSE);
            }
            InstallCursorHooksOnce();
            if (front) {
                if (HCURSOR previous = CallSetCursor(nullptr)) g_savedCursor.store(previous);
            }
        } else {
            overlay.screen_region_request.store(0);
            RemoveGameMessageHook();
            RestoreDeviceCursor(d);
            CallSetCursor(LoadCursorW(nullptr, IDC_ARROW));
        }

        const int id = overlay.screen_region_request.load();
        if (r.region.Due(id, now)) ServeScreenRegion(d, ui, id);

        if (!r.game_window) {
            D3DDEVICE_CREATION_PARAMETERS cp{};
            if (SUCCEEDED(d->GetCreationParameters(&cp)) && cp.hFocusWindow) {
                r.game_window = cp.hFocusWindow;
                SubclassGameWindow(r.game_window);
            }
        }
        if (!minimized && r.game_window && !IsGameMessageHookInstalled()) InstallGameMessageHook(r.game_window);
    }

    // Texture refresh: the lock is only tried, and only when the version moved.
    if (r.texture_device != d) {
        Release(r.overlay_texture);
        r.overlay_version = 0;
        r.texture_device = d;
    }
    FrameRef frame;
    int version = 0;
    if (TakeOverlayFrame(overlay, r.overlay_version, frame, version)) {
        IDirect3DTexture9* fresh = IsEmptyFrame(frame) ? nullptr : TextureFromPixels(d, *frame);
        Release(r.overlay_texture);
        r.overlay_texture = fresh;
        r.overlay_version = version;
        if (fresh) ++g_overlayUploads;
    }
    if (!ui || !r.overlay_texture) return;

    D3DVIEWPORT9 vp{};
    d->GetViewport(&vp);
    const CanvasPlacement place = PlaceOverlay(float(vp.Width), float(vp.Height));
    InputCaptureState& input = PluginInput();
    input.scale.store(place.scale);
    input.offset_x.store(place.offset_x);
    input.offset_y.store(place.offset_y);
    const bool cursor = overlay.plugin_cursor_visible.load() && !overlay.computer_minimized.load() && IsGameInFront();
    DrawWithSavedState(d, [&] {
        DrawTexturedQuad(d, r.overlay_texture, OverlayQuad(place));
        if (cursor) DrawPluginCursor(d, place, overlay.cursor_x.load(), overlay.cursor_y.load());
    });
}

// ---- Pairing chat command ---------------------------------------------------------------------
void RunPairingCommandStep(Tick now) {
    RenderState& r = Render();
    PairingInputs in;
    in.connected = Plugin().connected.load();
    in.consent_given = Plugin().consent_given.load();
    in.computer_ui_running = IsComputerUiRunning();
    // The cheap flags first; the window test and SA-MP's memory only when they pass.
    in.game_in_front = in.chat_free = true;
    if (!PairingCommandDue(in, now, r.next_pairing)) return;
    in.game_in_front = IsGameInFront();
    in.chat_free = in.game_in_front && IsChatFree();
    if (!in.chat_free) return;
    std::string code;
    {
        SharedState& shared = PluginShared();
        std::unique_lock<std::mutex> guard(shared.lock, std::try_to_lock);
        if (!guard.owns_lock()) return;  // busy: next frame
        code = shared.bind_code;
    }
    const std::string line = PairingCommandLine(in, now, r.next_pairing, code);
    if (!line.empty()) SendChatInput(line.c_str());
}

// ---- Detours ----------------------------------------------------------------------------------
HRESULT WINAPI PresentHook(IDirect3DDevice9* d, const RECT* src, const RECT* dst, HWND window, const RGNDATA* dirty) {
    const Tick now = GetTickCount64();
    Plugin().last_frame_tick.store(now);
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    RenderState& r = Render();
    try {
        RunTelevisionFrameStep(d);
        RunWorldTextureStep(d);
        if (TakeTimedOutPhotoRequest(PluginPhotoRequest(), now)) r.outbox.Post(kPhotoTimeoutNotice);
        DrawHeadsUpLayer(d, now);
        RunOverlayStep(d, now);
        RunPairingCommandStep(now);
    } catch (...) {
        ++g_frameFailures;
        r.outbox.Post(kFrameFailureNotice);
    }
    SharedState& shared = PluginShared();
    r.outbox.Flush(shared.lock, shared.notices, now);
    QueryPerformanceCounter(&t1);
    g_renderTicks += std::uint64_t(t1.QuadPart - t0.QuadPart);
    ++g_presents;
    return g_present(d, src, dst, window, dirty);
}

HRESULT WINAPI BeginSceneHook(IDirect3DDevice9* d) {
    g_sceneDevice.store(d);
    return g_beginScene(d);
}

// Texture substitution and draw replacement come with the television's world textures; until
// then these only pass the call on.
HRESULT WINAPI SetTextureHook(IDirect3DDevice9* d, DWORD stage, IDirect3DBaseTexture9* texture) {
    return g_setTexture(d, stage, texture);
}
HRESULT WINAPI DrawPrimitiveHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, UINT start, UINT count) {
    return g_drawPrimitive(d, type, start, count);
}
HRESULT WINAPI DrawIndexedPrimitiveHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, INT base, UINT minIndex,
                                        UINT vertices, UINT start, UINT count) {
    return g_drawIndexedPrimitive(d, type, base, minIndex, vertices, start, count);
}
HRESULT WINAPI DrawPrimitiveUPHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, UINT count, const void* data,
                                   UINT stride) {
    return g_drawPrimitiveUP(d, type, count, data, stride);
}
HRESULT WINAPI DrawIndexedPrimitiveUPHook(IDirect3DDevice9* d, D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices,
                                          UINT count, const void* indices, D3DFORMAT format, const void* data,
                                          UINT stride) {
    return g_drawIndexedPrimitiveUP(d, type, minIndex, vertices, count, indices, format, data, stride);
}

void __cdecl CleanFrameHook() {
    RenderState& r = Render();
    IDirect3DDevice9* d = g_sceneDevice.load();
    CleanFrameInputs in;
    in.device_seen = d != nullptr;
    in.connected = Plugin().connected.load();
    in.game_in_front = in.device_seen && in.connected && IsGameInFront();
    SharedState& shared = PluginShared();
    const std::uint64_t before = r.clean.captures();
    r.clean.Run(in, ProcessMemory(), GetTickCount64(), PluginPhotoRequest(), [d] { return CaptureCleanFrame(d); },
                shared.lock, Plugin().connected, PhotoSlot{shared.photo_frame, shared.photo_frame_request}, r.outbox);
    g_cleanCaptures += r.clean.captures() - before;
    g_cleanFrame();
}

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
    g_cleanFrame = reinterpret_cast<CleanFrameFn>(through);
    return true;
}

}  // namespace

// ---- Public -------------------------------------------------------------------------------------
IDirect3DTexture9* TextureFromPixels(IDirect3DDevice9* d, const Pixels& p, int createSite, int lockSite) {
    IDirect3DTexture9* texture = nullptr;
    HRESULT hr = d->CreateTexture(p.width(), p.height(), 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    if (FAILED(hr) || !texture) throw WinApiFailure(createSite, std::uint32_t(hr));
    D3DLOCKED_RECT locked{};
    hr = texture->LockRect(0, &locked, nullptr, 0);
    if (FAILED(hr)) {
        texture->Release();
        throw WinApiFailure(lockSite, std::uint32_t(hr));
    }
    auto* out = static_cast<std::uint8_t*>(locked.pBits);
    for (std::uint32_t y = 0; y < p.height(); ++y) std::memcpy(out + std::size_t(y) * locked.Pitch, p.row(y), p.stride());
    texture->UnlockRect(0);
    return texture;
}

PixelsRef ReadBackBuffer(IDirect3DDevice9* d) {
    IDirect3DSurface9* back = nullptr;
    HRESULT hr = d->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    if (FAILED(hr) || !back) throw WinApiFailure(96, std::uint32_t(hr));
    IDirect3DSurface9* resolved = nullptr;
    IDirect3DSurface9* plain = nullptr;
    struct Cleanup {
        IDirect3DSurface9** s[3];
        ~Cleanup() {
            for (auto* p : s) Release(*p);
        }
    } cleanup{{&back, &resolved, &plain}};

    D3DSURFACE_DESC desc{};
    if (FAILED(hr = back->GetDesc(&desc))) throw WinApiFailure(97, std::uint32_t(hr));
    if (desc.Width < 1 || desc.Width > 4096 || desc.Height < 1 || desc.Height > 4096 ||
        (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_A8R8G8B8))
        throw std::runtime_error("unsupported backbuffer; use 32-bit display <=4096x4096");

    IDirect3DSurface9* source = back;
    if (desc.MultiSampleType != D3DMULTISAMPLE_NONE) {
        hr = d->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE, &resolved,
                                   nullptr);
        if (FAILED(hr) || !resolved) throw WinApiFailure(103, std::uint32_t(hr));
        if (FAILED(hr = d->StretchRect(back, nullptr, resolved, nullptr, D3DTEXF_NONE)))
            throw WinApiFailure(104, std::uint32_t(hr));
        source = resolved;
    }
    hr = d->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &plain, nullptr);
    if (FAILED(hr) || !plain) throw WinApiFailure(107, std::uint32_t(hr));
    if (FAILED(hr = d->GetRenderTargetData(source, plain))) throw WinApiFailure(108, std::uint32_t(hr));
    D3DLOCKED_RECT locked{};
    if (FAILED(hr = plain->LockRect(&locked, nullptr, D3DLOCK_READONLY))) throw WinApiFailure(111, std::uint32_t(hr));
    PixelsRef out;
    try {
        out = MakePixels(desc.Width, desc.Height);
    } catch (...) {
        plain->UnlockRect();
        throw;
    }
    const auto* in = static_cast<const std::uint8_t*>(locked.pBits);
    for (std::uint32_t y = 0; y < desc.Height; ++y) {
        std::uint8_t* row = out->row(y);
        std::memcpy(row, in + std::size_t(y) * locked.Pitch, out->stride());
        for (std::uint32_t x = 0; x < desc.Width; ++x) row[x * 4 + 3] = 255;
    }
    plain->UnlockRect();
    return out;
}

PixelsRef CaptureCleanFrame(IDirect3DDevice9* d) {
    const bool ended = SUCCEEDED(d->EndScene());
    PixelsRef frame;
    try {
        frame = ReadBackBuffer(d);
    } catch (...) {
        if (ended) d->BeginScene();
        throw;
    }
    if (ended) {
        const HRESULT hr = d->BeginScene();
        if (FAILED(hr)) throw WinApiFailure(236, std::uint32_t(hr));
    }
    return frame;
}

void InstallGraphicsHooks() {
    HWND window = CreateWindowExW(0, L"STATIC", L"HM_Plugin graphics probe", 0, 0, 0, 640, 360, nullptr, nullptr,
                                  static_cast<HINSTANCE>(Plugin().module.load()), nullptr);
    if (!window) throw std::runtime_error("cannot create probe window");

    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    IDirect3DDevice9* device = nullptr;
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
        hr = d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
    }
    if (FAILED(hr) || !device) {
        if (d3d) d3d->Release();
        DestroyWindow(window);
        throw WinApiFailure(377, std::uint32_t(FAILED(hr) ? hr : E_FAIL));
    }

    void** table = *reinterpret_cast<void***>(device);
    const int init = hook_engine::Initialize();
    bool ok = init == kHookOk || init == kHookAlreadyInitialized;
    struct Slot {
        int index;
        void* detour;
        void** through;
    };
    const Slot slots[] = {
        {17, reinterpret_cast<void*>(&PresentHook), reinterpret_cast<void**>(&g_present)},
        {65, reinterpret_cast<void*>(&SetTextureHook), reinterpret_cast<void**>(&g_setTexture)},
        {81, reinterpret_cast<void*>(&DrawPrimitiveHook), reinterpret_cast<void**>(&g_drawPrimitive)},
        {82, reinterpret_cast<void*>(&DrawIndexedPrimitiveHook), reinterpret_cast<void**>(&g_drawIndexedPrimitive)},
        {83, reinterpret_cast<void*>(&DrawPrimitiveUPHook), reinterpret_cast<void**>(&g_drawPrimitiveUP)},
        {84, reinterpret_cast<void*>(&DrawIndexedPrimitiveUPHook), reinterpret_cast<void**>(&g_drawIndexedPrimitiveUP)},
        {41, reinterpret_cast<void*>(&BeginSceneHook), reinterpret_cast<void**>(&g_beginScene)},
    };
    for (const Slot& s : slots) {
        if (!ok) break;
        ok = hook_engine::CreateHook(table[s.index], s.detour, s.through) == kHookOk;
    }
    if (ok) g_cleanFrameHookInstalled.store(TryCleanFrameHook());
    InstallGameAndSampHooks();
    if (ok) ok = hook_engine::EnableHook(nullptr) == kHookOk;
    g_hooksInstalled.store(ok);

    device->Release();
    d3d->Release();
    DestroyWindow(window);
    if (!ok) throw std::runtime_error("D3D9 method hook failed");
}

GraphicsCounters ReadGraphicsCounters() {
    return {g_presents.load(),     g_overlayUploads.load(), g_bannerUploads.load(),
            g_frameFailures.load(), g_cleanCaptures.load(), g_renderTicks.load(),
            g_hooksInstalled.load(), g_cleanFrameHookInstalled.load()};
}

}  // namespace hm

namespace hm {

// The worker's start-up step for the device hooks.
void InstallDirect3DHooks() { InstallGraphicsHooks(); }

}  // namespace hm

// ---- Diagnostics exports (tests and support) -----------------------------------------------------
// Counters of the frame work: 0 presents, 1 overlay uploads, 2 banner uploads, 3 frame failures,
// 4 clean-frame captures, 5 performance-counter ticks spent in the plugin's Present work, 6 the
// counter's frequency, 7 device hooks installed, 8 clean-frame hook installed, 9 the request id of
// the photo waiting in the PhotoFrame slot (0: none), 10 the pending PhotoRequest; -1 otherwise.
extern "C" __declspec(dllexport) long long HM_GraphicsCounter(int which) {
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
        default: return -1;
    }
}
