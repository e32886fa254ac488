#include "photos/shown_photo_win.h"

#include <array>

#include "base/owners_win.h"
#include "base/plugin.h"
#include "base/shared_state.h"
#include "game/d3d9_hooks_win.h"
#include "photos/photo_rules.h"

namespace hm {
namespace {

struct ShownPhotoRender {
    IDirect3DDevice9* device = nullptr;
    ComPtr<IDirect3DTexture9> photo;
    ComPtr<IDirect3DTexture9> backdrop;
    ComPtr<IDirect3DTexture9> close_mark;
    std::uint32_t photo_width = 0, photo_height = 0;
    ShownPhotoSync sync;
    bool drawn = false;
};
ShownPhotoRender& Render() {
    static ShownPhotoRender& state = *new ShownPhotoRender;
    return state;
}

struct TexVertex {
    float x, y, z, rhw, u, v;
};

void DrawBox(IDirect3DDevice9* d, IDirect3DTexture9* texture, const ScreenBox& b) {
    // Minus half a pixel: texel centres on pixel centres.
    const float l = b.x - 0.5f, t = b.y - 0.5f, r = b.x + b.width - 0.5f, btm = b.y + b.height - 0.5f;
    const TexVertex v[4] = {{l, t, 0, 1, 0, 0}, {r, t, 0, 1, 1, 0}, {l, btm, 0, 1, 0, 1}, {r, btm, 0, 1, 1, 1}};
    d->SetTexture(0, texture);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex));
}

void ForgetDevice(ShownPhotoRender& r) {
    r.photo.reset();
    r.backdrop.reset();
    r.close_mark.reset();
    r.photo_width = r.photo_height = 0;
    r.sync.Forget();
    r.device = nullptr;
}

}  // namespace

void DrawShownPhoto(IDirect3DDevice9* d) {
    ShownPhotoRender& r = Render();
    r.drawn = false;
    if (r.device != d) {
        ForgetDevice(r);
        r.device = d;
    }
    PixelsRef picture;
    if (r.sync.Refresh(PluginShared(), picture) == ShownPhotoSync::Poll::Changed) {
        r.photo.reset();
        r.photo_width = r.photo_height = 0;
        if (picture && !picture->empty()) {
            try {
                r.photo = TextureFromPixels(d, *picture, 871, 872);
            } catch (...) {
                r.sync.Forget();  // try again next frame
                throw;
            }
            r.photo_width = picture->width();
            r.photo_height = picture->height();
        }
    }
    if (!Plugin().photo_visible.load() || !r.photo) return;

    if (!r.backdrop) {
        PixelsRef one = MakePixels(1, 1);
        one->set(0, 0, kPhotoBackdropColour);
        r.backdrop = TextureFromPixels(d, *one, 873, 874);
    }
    if (!r.close_mark) r.close_mark = TextureFromPixels(d, *MakeCloseMark(), 875, 876);

    D3DVIEWPORT9 viewport{};
    d->GetViewport(&viewport);
    if (viewport.Width == 0 || viewport.Height == 0) return;
    const ShownPhotoLayout layout =
        LayOutShownPhoto(float(viewport.Width), float(viewport.Height), r.photo_width, r.photo_height);

    SetPluginQuadStates(d, nullptr, false);
    DrawBox(d, r.backdrop.get(), layout.backdrop);
    DrawBox(d, r.photo.get(), layout.photo);
    DrawBox(d, r.close_mark.get(), layout.close_mark);
    d->SetTexture(0, nullptr);
    r.drawn = true;
}

bool IsShownPhotoDrawn() {
    const ShownPhotoRender& r = Render();
    return r.drawn && Plugin().photo_visible.load();
}

void ReleaseShownPhotoTextures() { ForgetDevice(Render()); }

}  // namespace hm
