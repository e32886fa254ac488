// The TV picture on the render thread: the frame upload into the TvTexture, the ScreenTextureId
// of game textures, and the in-vehicle screen. Render thread only; never waits on a lock.
#pragma once

#include <d3d9.h>

#include "game/world_surfaces.h"
#include "tv/cab_screen.h"

namespace hm {

// Once a frame: clears the ScreenTextureId cache, follows device changes, drops the texture
// when no TV plays, and copies a new helper frame into the TvTexture when TvLock and the frame
// mutex are free at once.
void RunTelevisionFrameStep(IDirect3DDevice9* device);

// 0 no screen, 1..32767 a TV screen colour, 65536..65546 a special surface. Cached per texture
// for the current frame (at most 256 textures).
int ScreenTextureId(IDirect3DDevice9* device, IDirect3DBaseTexture9* texture);

// The TvTexture when it belongs to `device` and the picture is live; else null.
IDirect3DTexture9* LiveTelevisionTexture(IDirect3DDevice9* device);

// The SetTexture detour's TV substitution: the TvTexture when it is live on `device`, TvScreenId
// lies in 1..30000 and equals `screen_id`; else null.
IDirect3DBaseTexture9* TelevisionTextureFor(IDirect3DDevice9* device, int screen_id);
// The render-state guard's facts that need no Direct3D call, cheapest first: stops as soon as
// one rules the guard out (TvScreenId without bit 0x4000 costs one atomic load).
void TelevisionGuardFacts(IDirect3DDevice9* device, TvGuardFacts& facts);

// The cockpit camera's screen for this frame.
void WriteCabScreen(const CabScreenRecord& screen);
// Draws the TvTexture onto the cab screen written this frame (inside the plugin's scene).
void DrawTelevisionPicture(IDirect3DDevice9* device);
// A source that writes the cab screen at the start of every frame (test builds place one).
void SetCabScreenSource(void (*source)());

// Releases the TvTexture (device reset or shutdown).
void ReleaseTelevisionTexture();

}  // namespace hm
