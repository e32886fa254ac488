#include "tv/tv_picture_win.h"

#include <windows.h>

#include <array>
#include <cstring>
#include <mutex>
#include <utility>

#include "base/owners_win.h"
#include "base/plugin.h"
#include "game/d3d9_hooks_win.h"
#include "tv/tv_controller_win.h"
#include "tv/tv_rules.h"

namespace hm {

namespace {

constexpr std::size_t kScreenIdCacheSize = 256;

struct TvPictureState {
    ComPtr<IDirect3DTexture9> texture;  // TvTexture
    IDirect3DDevice9* device = nullptr;  // the device it belongs to (not held)
    std::uint32_t last_counter = 0;
    std::array<std::pair<IDirect3DBaseTexture9*, int>, kScreenIdCacheSize> cache{};
    std::size_t cached = 0;
    std::uint64_t frame_serial = 0;     // advanced by every frame step
    std::uint64_t cab_serial = ~0ull;   // frame in which the cab screen was written
    CabScreenRecord cab{};
    void (*cab_source)() = nullptr;
};
TvPictureState& Picture() {
    static TvPictureState& s = *new TvPictureState;
    return s;
}

void DropTexture(TvPictureState& p) {
    p.texture.reset();
    p.last_counter = 0;
}

bool TryMutex(HANDLE mutex) {
    const DWORD r = WaitForSingleObject(mutex, 0);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

void CopyFrame(TvPictureState& p, IDirect3DDevice9* device, const TvFrameBlock& block) {
    if (!p.texture) {
        if (FAILED(device->CreateTexture(kTvFrameWidth, kTvFrameHeight, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         p.texture.put(), nullptr)))
            return;  // the screens keep the game's own texture this frame
    }
    D3DLOCKED_RECT locked{};
    if (FAILED(p.texture->LockRect(0, &locked, nullptr, 0))) return;
    CopyTvFrame(block.frame, static_cast<std::uint8_t*>(locked.pBits), static_cast<std::size_t>(locked.Pitch));
    p.texture->UnlockRect(0);
    p.last_counter = block.frame_counter;
}

int ReadScreenId(IDirect3DDevice9* device, IDirect3DBaseTexture9* base) {
    if (!base || base->GetType() != D3DRTYPE_TEXTURE) return 0;
    auto* texture = static_cast<IDirect3DTexture9*>(base);
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc))) return 0;
    if (desc.Width != 32 || desc.Height != 32 || (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8))
        return 0;
    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
        const int id = ScreenIdOfLevel(static_cast<const std::uint8_t*>(locked.pBits), static_cast<std::size_t>(locked.Pitch));
        texture->UnlockRect(0);
        return id;
    }
    // A render target or default-pool texture: copy its level into system memory first.
    ComPtr<IDirect3DSurface9> level, copy;
    if (!device || FAILED(texture->GetSurfaceLevel(0, level.put()))) return 0;
    if (FAILED(device->CreateOffscreenPlainSurface(32, 32, desc.Format, D3DPOOL_SYSTEMMEM, copy.put(), nullptr))) return 0;
    if (FAILED(device->GetRenderTargetData(level.get(), copy.get()))) return 0;
    if (FAILED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return 0;
    const int id = ScreenIdOfLevel(static_cast<const std::uint8_t*>(locked.pBits), static_cast<std::size_t>(locked.Pitch));
    copy->UnlockRect();
    return id;
}

}  // namespace

void RunTelevisionFrameStep(IDirect3DDevice9* device) {
    TvPictureState& p = Picture();
    ++p.frame_serial;
    p.cached = 0;
    if (p.cab_source) p.cab_source();
    if (device != p.device) {
        DropTexture(p);
        p.device = device;
    }
    TvController& tv = PluginTv();
    if (!TvPictureLive(tv.screen, GetTickCount64())) {
        DropTexture(p);
        return;
    }
    std::unique_lock<std::mutex> hold(tv.lock, std::try_to_lock);
    if (!hold.owns_lock()) return;
    BrowserHelperLink& link = tv.link;
    if (!link.view || !link.mutex || !TryMutex(link.mutex)) return;
    const std::uint32_t counter = link.view->frame_counter;
    if (counter != p.last_counter) CopyFrame(p, device, *link.view);
    ReleaseMutex(link.mutex);
}

int ScreenTextureId(IDirect3DDevice9* device, IDirect3DBaseTexture9* texture) {
    TvPictureState& p = Picture();
    for (std::size_t i = 0; i < p.cached; ++i)
        if (p.cache[i].first == texture) return p.cache[i].second;
    const int id = ReadScreenId(device, texture);
    if (p.cached < kScreenIdCacheSize) p.cache[p.cached++] = {texture, id};
    return id;
}

IDirect3DTexture9* LiveTelevisionTexture(IDirect3DDevice9* device) {
    TvPictureState& p = Picture();
    if (!p.texture || p.device != device || !TvPictureLive(PluginTv().screen, GetTickCount64())) return nullptr;
    return p.texture.get();
}

IDirect3DBaseTexture9* TelevisionTextureFor(IDirect3DDevice9* device, int screen_id) {
    const int tv = PluginTv().screen.screen_id.load(std::memory_order_relaxed);
    if (screen_id < 1 || screen_id > kMaxWorldTvScreenId || screen_id != tv) return nullptr;
    return LiveTelevisionTexture(device);
}

void TelevisionGuardFacts(IDirect3DDevice9* device, TvGuardFacts& facts) {
    const TvScreenState& screen = PluginTv().screen;
    facts.tv_screen_id = screen.screen_id.load(std::memory_order_relaxed);
    if (!IsTransformedTvScreen(facts.tv_screen_id)) return;
    facts.deadline_passed = IsDue(GetTickCount64(), screen.frame_deadline.load(std::memory_order_relaxed));
    if (facts.deadline_passed) return;
    const TvPictureState& p = Picture();
    facts.tv_texture = p.device == device ? p.texture.get() : nullptr;
}

void WriteCabScreen(const CabScreenRecord& screen) {
    TvPictureState& p = Picture();
    p.cab = screen;
    p.cab_serial = p.frame_serial;
}

void SetCabScreenSource(void (*source)()) { Picture().cab_source = source; }

void DrawTelevisionPicture(IDirect3DDevice9* device) {
    TvPictureState& p = Picture();
    if (p.cab_serial != p.frame_serial) return;  // the camera placed no screen this frame
    if (Plugin().photo_visible.load()) return;
    IDirect3DTexture9* texture = LiveTelevisionTexture(device);
    if (!texture) return;
    D3DVIEWPORT9 vp{};
    if (FAILED(device->GetViewport(&vp))) return;
    std::array<CabVertex, 4> quad{};
    if (!ProjectCabScreen(p.cab, static_cast<float>(vp.Width), static_cast<float>(vp.Height), quad)) return;
    for (CabVertex& v : quad) {
        v.x += static_cast<float>(vp.X);
        v.y += static_cast<float>(vp.Y);
    }
    SetPluginQuadStates(device, texture, false);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(CabVertex));
}

void ReleaseTelevisionTexture() {
    TvPictureState& p = Picture();
    DropTexture(p);
    p.device = nullptr;
}

}  // namespace hm
