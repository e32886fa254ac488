// Per-frame steps of subsystems that hang on the game's frame (television, world textures, shown
// photo, voice banner) and their start-up hooks. core/ fills the record before it calls
// InstallGraphicsHooks; an empty entry does nothing. Read on the render thread, never changed
// after installation.
#pragma once

#include <d3d9.h>

#include "ui/banner_text.h"

namespace hm {

struct FrameSteps {
    void (*television_frame)(IDirect3DDevice9*) = nullptr;       // TV frame upload
    void (*world_textures)(IDirect3DDevice9*) = nullptr;         // gallery / TV world textures
    void (*draw_shown_photo)(IDirect3DDevice9*) = nullptr;       // Ctrl+F11 photo; inside the plugin's scene, before the banner
    bool (*photo_drawn)() = nullptr;                              // a shown photo covers the picture: no banner
    void (*draw_television_picture)(IDirect3DDevice9*) = nullptr;  // the in-vehicle TV screen; inside the scene
    void (*read_voice_banner_inputs)(BannerInputs&) = nullptr;   // voice transmitting and its channel
    void (*install_game_and_samp_hooks)() = nullptr;             // worker, during installation
};
FrameSteps& PluginFrameSteps();  // process-wide, never destroyed

}  // namespace hm
