// The shown photo over the game picture (Ctrl+F11): backdrop, the photo fitted and centred, the
// close mark. Render thread only, inside Present's scene and state block (the frame work puts the
// game's states back), before the notice banner.
#pragma once

#include <d3d9.h>

namespace hm {

// Draws while PhotoVisible is on and ShownPhoto is not empty. Uploads the photo only when
// ShownPhotoVersion moved and SharedStateLock is free (busy: last frame's texture). Textures
// belong to the device they were made on and go when the device changes. Throws WinApiFailure
// for a texture failure.
void DrawShownPhoto(IDirect3DDevice9* device);

// Whether this frame shows a photo (PhotoVisible and a picture): the banner stays empty then.
// Call after DrawShownPhoto in the same frame.
bool IsShownPhotoDrawn();

// Releases the textures (device reset or shutdown). Render thread.
void ReleaseShownPhotoTextures();

}  // namespace hm
