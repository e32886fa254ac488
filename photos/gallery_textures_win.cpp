#include "photos/gallery_textures_win.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <vector>

#include "base/owners_win.h"
#include "game/d3d9_hooks_win.h"
#include "game/graphics_state_win.h"

namespace hm {

namespace {

struct GalleryTexture {
    int id = 0;
    std::int32_t revision = 0;
    ComPtr<IDirect3DTexture9> texture;
};

// Render thread only.
struct GalleryTextures {
    IDirect3DDevice9* device = nullptr;  // not held
    std::vector<GalleryTexture> textures;
};
GalleryTextures& Textures() {
    static GalleryTextures& t = *new GalleryTextures;
    return t;
}

struct PictureCopy {
    int id = 0;
    std::int32_t revision = 0;
    PixelsRef pixels;
};

}  // namespace

void RefreshGalleryTextures(Gallery& gallery, IDirect3DDevice9* device, Tick now) {
    GalleryTextures& t = Textures();
    if (device != t.device) {
        t.textures.clear();
        t.device = device;
    }
    if (IsDue(now, gallery.deadline.load())) {
        t.textures.clear();
        return;
    }
    // Room for the copies is taken before the lock, so under it nothing but references move.
    std::vector<PictureCopy> copies;
    copies.reserve(kGalleryMaxEntries);
    {
        std::unique_lock<std::mutex> hold(gallery.lock, std::try_to_lock);
        if (!hold.owns_lock()) return;  // the worker is storing a picture: next frame
        for (const auto& [id, picture] : gallery.cache) {
            if (copies.size() == copies.capacity()) break;
            copies.push_back({id, picture.revision, picture.pixels});
        }
    }
    const auto copied = [&](int id) {
        return std::find_if(copies.begin(), copies.end(), [id](const PictureCopy& c) { return c.id == id; });
    };
    t.textures.erase(std::remove_if(t.textures.begin(), t.textures.end(),
                                    [&](const GalleryTexture& g) { return copied(g.id) == copies.end(); }),
                     t.textures.end());
    for (const PictureCopy& c : copies) {
        auto it = std::find_if(t.textures.begin(), t.textures.end(), [&](const GalleryTexture& g) { return g.id == c.id; });
        if (it != t.textures.end() && it->revision == c.revision) continue;
        if (!c.pixels || c.pixels->empty()) continue;
        ComPtr<IDirect3DTexture9> texture;
        try {
            texture = TextureFromPixels(device, *c.pixels);
        } catch (const std::exception&) {
            continue;  // the surface keeps the game's texture; tried again next frame
        }
        Graphics().world_textures_made.fetch_add(1, std::memory_order_relaxed);
        if (it == t.textures.end()) {
            t.textures.push_back({c.id, c.revision, std::move(texture)});
        } else {
            it->revision = c.revision;
            it->texture = std::move(texture);
        }
    }
}

void RunWorldTextureStep(IDirect3DDevice9* device) { RefreshGalleryTextures(PluginGallery(), device, GetTickCount64()); }

IDirect3DBaseTexture9* GalleryTextureFor(const Gallery& gallery, IDirect3DDevice9* device, int screen_id, Tick now) {
    const GalleryTextures& t = Textures();
    if (screen_id < 1 || screen_id > kGalleryMaxPictureId || device != t.device || t.textures.empty()) return nullptr;
    if (IsDue(now, gallery.deadline.load(std::memory_order_relaxed))) return nullptr;
    for (const GalleryTexture& g : t.textures)
        if (g.id == screen_id) return g.texture.get();
    return nullptr;
}

IDirect3DBaseTexture9* GalleryTextureFor(IDirect3DDevice9* device, int screen_id) {
    if (screen_id < 1 || screen_id > kGalleryMaxPictureId) return nullptr;  // before the clock is read
    return GalleryTextureFor(PluginGallery(), device, screen_id, GetTickCount64());
}

std::uint64_t GalleryTexturesMade() { return Graphics().world_textures_made.load(); }
std::size_t GalleryTextureCount() { return Textures().textures.size(); }

void ReleaseGalleryTextures() {
    GalleryTextures& t = Textures();
    t.textures.clear();
    t.device = nullptr;
}

}  // namespace hm
