// The subsystems' per-frame steps, hung on the game's frame before the device hooks go in.
#include "core/frame_wiring_win.h"

#include <atomic>

#include "base/shared_state.h"
#include "game/frame_steps_win.h"
#include "photos/gallery_textures_win.h"
#include "photos/shown_photo_win.h"
#include "tv/lettering_win.h"
#include "tv/tv_picture_win.h"
#include "ui/banner.h"
#include "ui/banner_win.h"
#include "vehicle/vehicle_hooks_win.h"

namespace hm {

namespace {

std::atomic<void (*)(BannerInputs&)> voice_banner_reader{nullptr};

// Render thread only.
BannerLayer& Banner() {
    static BannerLayer& layer = *new BannerLayer;
    return layer;
}

bool RefreshBanner(Tick now, bool photo_shown, PixelsRef& bitmap) {
    BannerInputs in;
    in.photo_visible = photo_shown;
    if (const auto read = voice_banner_reader.load(std::memory_order_acquire)) read(in);
    SharedState& shared = PluginShared();
    BannerLayer& layer = Banner();
    if (!RefreshBannerLayer(layer, shared.lock, shared.notices, now, in)) return false;
    bitmap = layer.bitmap;
    return true;
}

bool PlaceBannerQuad(int width, int height, std::array<ScreenVertex, 4>& quad) {
    const BannerPlacement place = PlaceBanner(width, height);
    if (!place.visible) return false;
    const auto bq = BannerQuad(place);
    for (std::size_t i = 0; i < 4; ++i) quad[i] = {bq[i].x, bq[i].y, bq[i].u, bq[i].v};
    return true;
}

// The windscreen the cockpit camera placed for this frame, as the television draws it.
void CabScreenFromCamera() {
    CabView view;
    if (!TakeCockpitCabView(view)) return;
    CabScreenRecord screen{};
    for (std::size_t i = 0; i < 4; ++i) screen.corners[i] = {view.corners[i].x, view.corners[i].y, view.corners[i].z};
    screen.eye = {view.eye.x, view.eye.y, view.eye.z};
    screen.front = {view.front.x, view.front.y, view.front.z};
    screen.up = {view.up.x, view.up.y, view.up.z};
    screen.fov_degrees = view.fov_degrees;
    WriteCabScreen(screen);
}

}  // namespace

void SetVoiceBannerReader(void (*read)(BannerInputs&)) { voice_banner_reader.store(read, std::memory_order_release); }

void FillFrameSteps() {
    FrameSteps& steps = PluginFrameSteps();
    steps.draw_shown_photo = &DrawShownPhoto;
    steps.photo_drawn = &IsShownPhotoDrawn;
    steps.refresh_banner = &RefreshBanner;
    steps.place_banner = &PlaceBannerQuad;
    steps.reset_banner = [] { ResetBannerLayer(Banner()); };
    steps.television_frame = &RunTelevisionFrameStep;
    steps.draw_television_picture = &DrawTelevisionPicture;
    steps.install_game_and_samp_hooks = &InstallVehicleHooks;
    SetCabScreenSource(&CabScreenFromCamera);
    steps.world_textures = &RunWorldTextureStep;
    steps.screen_texture_id = &ScreenTextureId;
    steps.lettering_texture = &LetteringTexture;
    steps.gallery_texture = [](IDirect3DDevice9* d, int id) { return GalleryTextureFor(d, id); };
    steps.television_texture = &TelevisionTextureFor;
    steps.television_guard_facts = &TelevisionGuardFacts;
}

}  // namespace hm
