// Reading the back buffer and uploading pixels: the device calls whose failures are named by
// call-site numbers, each behind the Direct3D fault seam.
#include <cstring>
#include <stdexcept>

#include "base/owners_win.h"
#include "game/d3d9_faults_win.h"
#include "game/d3d9_hooks_win.h"

namespace hm {

ShellFault& Direct3DShellFault() {
    static ShellFault& fault = *new ShellFault;
    return fault;
}

ComPtr<IDirect3DTexture9> TextureFromPixels(IDirect3DDevice9* d, const Pixels& p, int createSite, int lockSite) {
    ComPtr<IDirect3DTexture9> texture;
    HRESULT hr = ShellCallOr(ShellCall::kCreateTexture, [&] {
        return d->CreateTexture(p.width(), p.height(), 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.put(),
                                nullptr);
    });
    ThrowIfFailedOrNull(createSite, hr, texture.get());
    D3DLOCKED_RECT locked{};
    hr = ShellCallOr(ShellCall::kLockTexture, [&] { return texture->LockRect(0, &locked, nullptr, 0); });
    ThrowIfFailed(lockSite, hr);
    auto unlock = OnScopeExit([&] { texture->UnlockRect(0); });
    auto* out = static_cast<std::uint8_t*>(locked.pBits);
    for (std::uint32_t y = 0; y < p.height(); ++y) std::memcpy(out + std::size_t(y) * locked.Pitch, p.row(y), p.stride());
    return texture;
}

PixelsRef ReadBackBuffer(IDirect3DDevice9* d) {
    ComPtr<IDirect3DSurface9> back, resolved, plain;
    HRESULT hr = ShellCallOr(ShellCall::kGetBackBuffer,
                             [&] { return d->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put()); });
    ThrowIfFailedOrNull(96, hr, back.get());
    D3DSURFACE_DESC desc{};
    ThrowIfFailed(97, ShellCallOr(ShellCall::kGetDesc, [&] { return back->GetDesc(&desc); }));
    if (desc.Width < 1 || desc.Width > 4096 || desc.Height < 1 || desc.Height > 4096 ||
        (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_A8R8G8B8))
        throw std::runtime_error("unsupported backbuffer; use 32-bit display <=4096x4096");

    IDirect3DSurface9* source = back.get();
    if (desc.MultiSampleType != D3DMULTISAMPLE_NONE) {
        hr = ShellCallOr(ShellCall::kCreateRenderTarget, [&] {
            return d->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                         resolved.put(), nullptr);
        });
        ThrowIfFailedOrNull(103, hr, resolved.get());
        ThrowIfFailed(104, ShellCallOr(ShellCall::kStretchRect, [&] {
                          return d->StretchRect(back.get(), nullptr, resolved.get(), nullptr, D3DTEXF_NONE);
                      }));
        source = resolved.get();
    }
    hr = ShellCallOr(ShellCall::kCreateOffscreenPlainSurface, [&] {
        return d->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, plain.put(),
                                              nullptr);
    });
    ThrowIfFailedOrNull(107, hr, plain.get());
    ThrowIfFailed(108, ShellCallOr(ShellCall::kGetRenderTargetData,
                                   [&] { return d->GetRenderTargetData(source, plain.get()); }));
    D3DLOCKED_RECT locked{};
    ThrowIfFailed(111, ShellCallOr(ShellCall::kLockBackBufferCopy,
                                   [&] { return plain->LockRect(&locked, nullptr, D3DLOCK_READONLY); }));
    auto unlock = OnScopeExit([&] { plain->UnlockRect(); });
    PixelsRef out = MakePixels(desc.Width, desc.Height);
    const auto* in = static_cast<const std::uint8_t*>(locked.pBits);
    for (std::uint32_t y = 0; y < desc.Height; ++y) {
        std::uint8_t* row = out->row(y);
        std::memcpy(row, in + std::size_t(y) * locked.Pitch, out->stride());
        for (std::uint32_t x = 0; x < desc.Width; ++x) row[x * 4 + 3] = 255;
    }
    return out;
}

PixelsRef CaptureCleanFrame(IDirect3DDevice9* d) {
    const bool ended = SUCCEEDED(d->EndScene());
    auto begin_again = OnScopeExit([&] { d->BeginScene(); });  // a failed read still leaves the scene open
    if (!ended) begin_again.dismiss();
    PixelsRef frame = ReadBackBuffer(d);
    if (ended) {
        begin_again.dismiss();
        ThrowIfFailed(236, d->BeginScene());
    }
    return frame;
}

void SetPluginQuadStates(IDirect3DDevice9* d, IDirect3DTexture9* texture, bool blend) {
    d->SetVertexShader(nullptr);
    d->SetPixelShader(nullptr);
    d->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    d->SetRenderState(D3DRS_ZENABLE, 0);
    d->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, blend ? 1 : 0);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    d->SetRenderState(D3DRS_FOGENABLE, 0);
    d->SetRenderState(D3DRS_LIGHTING, 0);
    d->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
    d->SetRenderState(D3DRS_STENCILENABLE, 0);
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 15);
    d->SetRenderState(D3DRS_SRGBWRITEENABLE, 0);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    d->SetTexture(0, texture);
}

}  // namespace hm
