// The one record of the Direct3D side: trampolines, the adopted game device, per-device
// resources, render-thread bookkeeping and counters. Reached through Graphics(), never destroyed
// (hooks may still run while the process ends).
#pragma once

#include <windows.h>
#include <d3d9.h>

#include <atomic>
#include <cstdint>

#include "base/owners_win.h"
#include "base/ticks.h"
#include "game/clean_frame.h"
#include "game/present_rules.h"

namespace hm {

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

// Written once by the worker before the hooks are enabled; read by the detours after.
struct Trampolines {
    PresentFn present = nullptr;
    BeginSceneFn begin_scene = nullptr;
    SetTextureFn set_texture = nullptr;
    DrawPrimitiveFn draw_primitive = nullptr;
    DrawIndexedPrimitiveFn draw_indexed_primitive = nullptr;
    DrawPrimitiveUPFn draw_primitive_up = nullptr;
    DrawIndexedPrimitiveUPFn draw_indexed_primitive_up = nullptr;
    CleanFrameFn clean_frame = nullptr;
    SetCursorPosFn set_cursor_pos = nullptr;
    SetCursorFn set_cursor = nullptr;
};

// What the plugin made on the game's device. Render thread; replaced whole when the device changes,
// so nothing made on one device is used on another.
struct DeviceResources {
    IDirect3DDevice9* device = nullptr;  // not owned: the game's
    ComPtr<IDirect3DTexture9> overlay_texture;
    int overlay_version = 0;  // OverlayFrameVersion the texture was made from
    ComPtr<IDirect3DTexture9> banner_texture;
    int banner_height = 0;  // of the picture the texture was made from
};

struct GraphicsState {
    Trampolines through;

    // Set by the worker at installation.
    std::atomic<bool> hooks_installed{false};
    std::atomic<bool> clean_frame_hook{false};
    std::atomic<bool> cursor_hooks{false};

    // The device presenting to the game's window (render thread writes, BeginScene compares).
    std::atomic<IDirect3DDevice9*> game_device{nullptr};
    HWND game_device_window = nullptr;  // render thread: the window the game's frames go to
    std::atomic<IDirect3DDevice9*> scene_device{nullptr};  // the game device, once BeginScene ran on it
    std::atomic<HCURSOR> saved_cursor{nullptr};             // Windows cursor to give back

    // Render thread only.
    DeviceResources resources;
    bool show_cursor_off = false;
    BOOL show_cursor_previous = TRUE;
    IDirect3DDevice9* cursor_device = nullptr;
    HWND subclassed_window = nullptr;
    ScreenRegionTracker region;
    Tick next_pairing = 0;
    RenderNoticeOutbox outbox;
    CleanFrameKeeper clean;
    // While Present draws the plugin's own layers: its draws pass the draw detours untouched
    // (no mesh, no hidden surface, no TV guard turning the cab screen's coordinates).
    bool drawing_own_layers = false;

    std::atomic<std::uint64_t> presents{0}, overlay_uploads{0}, banner_uploads{0}, frame_failures{0},
        clean_captures{0}, render_ticks{0}, foreign_presents{0};
    // Written by the world-texture step on the render thread; read by the diagnostics.
    std::atomic<std::uint64_t> world_textures_made{0};
};
GraphicsState& Graphics();

}  // namespace hm
