// The fire-station lettering textures (ids 65538 and 65539): drawn by GDI, made on first use per
// device and kept until the device changes. Render thread.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <vector>

namespace hm {

// The lettering of `variant` (0 or 1) on `device`, made on first use; null when it cannot be
// made (remembered until the device changes: the game's own texture is bound then).
IDirect3DBaseTexture9* LetteringTexture(IDirect3DDevice9* device, int variant);

// The 512 x 256 lettering bitmap as top-down BGRX rows of 2048 bytes; empty when GDI failed.
std::vector<std::uint8_t> RenderLetteringBitmap(int variant);

// How many lettering textures were made (tests and figures).
int LetteringTexturesMade();

}  // namespace hm
