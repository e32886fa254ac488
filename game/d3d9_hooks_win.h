// The plugin's hold on the game's Direct3D 9 device: the method hooks learnt from a throw-away
// probe device, the per-frame work inside Present and the clean-frame capture in the game's 2-D
// pass. Everything but InstallGraphicsHooks runs on the game's render thread.
//
// Files: d3d9_install_win.cpp (probe, installation, pass-through detours, counters export),
// d3d9_frame_win.cpp (Present, BeginScene and the clean-frame hook), d3d9_surfaces_win.cpp
// (back buffer, textures), cursor_hooks_win.cpp (user32 cursor detours), graphics_state_win.h
// (the one record they share), frame_steps_win.h (later subsystems' per-frame steps).
#pragma once

#include <windows.h>
#include <d3d9.h>

#include <cstdint>

#include "base/owners_win.h"
#include "base/pixels.h"
#include "base/ui_messages.h"

namespace hm {

// Worker thread, once at start-up: device hooks, clean-frame hook and cursor hooks. Throws
// "cannot create probe window", WinApiFailure 377 or "D3D9 method hook failed".
void InstallGraphicsHooks();

// The back buffer as a Pixels (alpha 255). Throws for buffers other than 32-bit or larger than
// 4096 in either direction; resolves a multisampled buffer first.
PixelsRef ReadBackBuffer(IDirect3DDevice9* device);
// Ends the running scene, reads the back buffer and begins the scene again.
PixelsRef CaptureCleanFrame(IDirect3DDevice9* device);
// A managed A8R8G8B8 texture of one level holding `pixels`; the call-site numbers name the
// caller's CreateTexture and LockRect in a WinApiFailure.
ComPtr<IDirect3DTexture9> TextureFromPixels(IDirect3DDevice9* device, const Pixels& pixels, int createSite = 281,
                                            int lockSite = 282);

// Every state a pre-transformed textured quad of the plugin needs, whatever the game left set
// (the caller's state block puts the game's back). `blend`: source-alpha blending, else opaque.
void SetPluginQuadStates(IDirect3DDevice9* device, IDirect3DTexture9* texture, bool blend);

// The picture for the screen that asked for it goes to the UiWindow as a PictureRecord.
constexpr UINT kPictureMessage = uimsg::kPicture;

// Counters for tests, support and the frame-time figures.
struct GraphicsCounters {
    std::uint64_t presents;          // frames of the game's device
    std::uint64_t overlay_uploads;   // overlay textures built
    std::uint64_t banner_uploads;    // banner textures built
    std::uint64_t frame_failures;    // per-frame steps that threw
    std::uint64_t clean_captures;
    std::uint64_t render_ticks;      // QueryPerformanceCounter ticks spent in the plugin's Present work
    std::uint64_t foreign_presents;  // frames of other devices, passed on untouched
    std::uint64_t world_textures_made;  // gallery picture textures made by the world-texture step
    bool hooks_installed;
    bool clean_frame_hook;
    bool cursor_hooks;
};
GraphicsCounters ReadGraphicsCounters();

}  // namespace hm
