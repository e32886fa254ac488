// Per-frame steps of subsystems that hang on the game's frame (television, world textures, shown
// photo, heads-up banner) and their start-up hooks. core/ fills the record before it calls
// InstallGraphicsHooks; an empty entry does nothing. Read on the render thread, never changed
// after installation.
#pragma once

#include <d3d9.h>

#include <array>

#include "base/pixels.h"
#include "base/ticks.h"
#include "game/present_rules.h"
#include "game/world_surfaces.h"

namespace hm {

struct FrameSteps {
    void (*television_frame)(IDirect3DDevice9*) = nullptr;       // TV frame upload
    void (*world_textures)(IDirect3DDevice9*) = nullptr;         // gallery / TV world textures
    void (*draw_shown_photo)(IDirect3DDevice9*) = nullptr;       // Ctrl+F11 photo; inside the plugin's scene, before the banner
    bool (*photo_drawn)() = nullptr;                              // a shown photo covers the picture: no banner
    void (*draw_television_picture)(IDirect3DDevice9*) = nullptr;  // the in-vehicle TV screen; inside the scene
    // The heads-up banner. refresh_banner: once a frame, before drawing; true when the picture
    // changed (upload `bitmap`; null: no banner). place_banner: the quad of a picture `height`
    // high in a viewport `width` wide; false: not shown. reset_banner: the device changed.
    bool (*refresh_banner)(Tick now, bool photo_shown, PixelsRef& bitmap) = nullptr;
    bool (*place_banner)(int width, int height, std::array<ScreenVertex, 4>& quad) = nullptr;
    void (*reset_banner)() = nullptr;
    void (*install_game_and_samp_hooks)() = nullptr;             // worker, during installation
    // Marked world surfaces, asked by the SetTexture and draw detours (any device; null: none).
    int (*screen_texture_id)(IDirect3DDevice9*, IDirect3DBaseTexture9*) = nullptr;     // ScreenTextureId
    IDirect3DBaseTexture9* (*lettering_texture)(IDirect3DDevice9*, int variant) = nullptr;
    IDirect3DBaseTexture9* (*gallery_texture)(IDirect3DDevice9*, int screen_id) = nullptr;
    IDirect3DBaseTexture9* (*television_texture)(IDirect3DDevice9*, int screen_id) = nullptr;
    void (*television_guard_facts)(IDirect3DDevice9*, TvGuardFacts&) = nullptr;
};
FrameSteps& PluginFrameSteps();  // process-wide, never destroyed

}  // namespace hm
