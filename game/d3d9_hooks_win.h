// The plugin's hold on the game's Direct3D 9 device: the method hooks learnt from a throw-away
// probe device, the per-frame work inside Present and the clean-frame capture in the game's 2-D
// pass. Everything but InstallGraphicsHooks runs on the game's render thread.
#pragma once

#include <windows.h>
#include <d3d9.h>

#include <cstdint>

#include "base/pixels.h"

namespace hm {

// Worker thread, once at start-up. Throws "cannot create probe window", WinApiFailure 377 or
// "D3D9 method hook failed".
void InstallGraphicsHooks();

// The back buffer as a Pixels (alpha 255). Throws for buffers other than 32-bit or larger than
// 4096 in either direction; resolves a multisampled buffer first.
PixelsRef ReadBackBuffer(IDirect3DDevice9* device);
// Ends the running scene, reads the back buffer and begins the scene again.
PixelsRef CaptureCleanFrame(IDirect3DDevice9* device);
// A managed A8R8G8B8 texture of one level holding `pixels`; the call-site numbers name the
// caller's CreateTexture and LockRect in a WinApiFailure.
IDirect3DTexture9* TextureFromPixels(IDirect3DDevice9* device, const Pixels& pixels, int createSite = 281,
                                     int lockSite = 282);

// Message 0x8019 to the UiWindow: lParam a heap PictureRecord that the receiver deletes.
constexpr UINT kPictureMessage = 0x8019;
struct PictureRecord {
    int request_id;
    PixelsRef image;
};

// Counters for tests, support and the frame-time figures.
struct GraphicsCounters {
    std::uint64_t presents;
    std::uint64_t overlay_uploads;   // overlay textures built
    std::uint64_t banner_uploads;    // banner textures built
    std::uint64_t frame_failures;    // per-frame work that threw
    std::uint64_t clean_captures;
    std::uint64_t render_ticks;      // QueryPerformanceCounter ticks spent in the plugin's Present work
    bool hooks_installed;
    bool clean_frame_hook;
};
GraphicsCounters ReadGraphicsCounters();

}  // namespace hm
