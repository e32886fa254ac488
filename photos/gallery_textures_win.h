// GalleryTextures: the gallery's pictures as Direct3D textures on the game's device. Render
// thread only; never waits on the GalleryLock.
#pragma once

#include <d3d9.h>

#include <cstdint>

#include "photos/gallery.h"

namespace hm {

// Once a frame (the world-texture step): follows the device, drops everything once the gallery's
// deadline has passed, and, when the GalleryLock is free at once, copies (id, revision, picture)
// under it and makes the missing or changed textures after it.
void RunWorldTextureStep(IDirect3DDevice9* device);
// Same over any gallery and clock (tests).
void RefreshGalleryTextures(Gallery& gallery, IDirect3DDevice9* device, Tick now);

// The SetTexture detour's gallery substitution: the picture's texture for `screen_id` while the
// gallery is live on `device`; else null.
IDirect3DBaseTexture9* GalleryTextureFor(IDirect3DDevice9* device, int screen_id);
IDirect3DBaseTexture9* GalleryTextureFor(const Gallery& gallery, IDirect3DDevice9* device, int screen_id, Tick now);

// Textures made since the process started (HM_GraphicsCounter 13), and how many exist now.
std::uint64_t GalleryTexturesMade();
std::size_t GalleryTextureCount();
// Releases every texture and forgets the device.
void ReleaseGalleryTextures();

}  // namespace hm
