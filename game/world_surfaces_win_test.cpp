// Marked world surfaces on a real device under 32-bit Wine: a hidden draw, a mesh drawn in the
// game's place that leaves every state as it found it, and the TV guard's texture transform,
// sampled pixel by pixel with clamped edges.
#include "game/world_surfaces_win.h"

#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "base/owners_win.h"
#include "game/d3d9_hooks_win.h"
#include "game/drawing_class.h"
#include "game/frame_steps_win.h"
#include "game/test_device_win_test_util.h"
#include "game/world_surfaces.h"

namespace hm {
namespace {

constexpr UINT kSize = 64;
constexpr D3DCOLOR kClear = 0xFF102030;

// A 64 x 64 device with a depth buffer, as the game's 3-D pass has.
struct Device : TestDevice {
    ComPtr<IDirect3DSurface9> depth;
    Device() : TestDevice(kSize, kSize) {
        if (!device) return;
        device->CreateDepthStencilSurface(kSize, kSize, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE, depth.put(), nullptr);
        device->SetDepthStencilSurface(depth.get());
    }
    void Clear() { device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0); }
};

// The device's own DrawPrimitiveUP: this process installs no hooks, so it is the real one.
DrawPrimitiveUPFn RealDrawUP(IDirect3DDevice9* d) {
    return reinterpret_cast<DrawPrimitiveUPFn>((*reinterpret_cast<void***>(d))[83]);
}

D3DMATRIX Matrix(std::initializer_list<float> v) {
    D3DMATRIX m;
    std::memcpy(&m, std::data(v), sizeof m);
    return m;
}

// Every state a mesh draw touches, and the ones around it that a careless draw would leave changed.
struct StateSnapshot {
    std::vector<DWORD> values;
    IDirect3DBaseTexture9* texture = nullptr;
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 0, stride = 0;
    D3DMATRIX world{}, texture0{};
    bool operator==(const StateSnapshot& o) const {
        return values == o.values && texture == o.texture && stream == o.stream && offset == o.offset &&
               stride == o.stride && std::memcmp(&world, &o.world, sizeof world) == 0 &&
               std::memcmp(&texture0, &o.texture0, sizeof texture0) == 0;
    }
};
StateSnapshot Snapshot(IDirect3DDevice9* d) {
    StateSnapshot s;
    DWORD v = 0;
    d->GetFVF(&v);
    s.values.push_back(v);
    for (D3DRENDERSTATETYPE rs : {D3DRS_LIGHTING, D3DRS_FOGENABLE, D3DRS_CULLMODE, D3DRS_ALPHATESTENABLE,
                                  D3DRS_ALPHABLENDENABLE, D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_WRAP0}) {
        d->GetRenderState(rs, &v);
        s.values.push_back(v);
    }
    for (DWORD stage : {0u, 1u})
        for (D3DTEXTURESTAGESTATETYPE t : {D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTSS_TEXCOORDINDEX}) {
            d->GetTextureStageState(stage, t, &v);
            s.values.push_back(v);
        }
    for (D3DSAMPLERSTATETYPE t : {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV}) {
        d->GetSamplerState(0, t, &v);
        s.values.push_back(v);
    }
    d->GetTexture(0, &s.texture);
    if (s.texture) s.texture->Release();  // compared by address only
    d->GetStreamSource(0, &s.stream, &s.offset, &s.stride);
    if (s.stream) s.stream->Release();
    d->GetTransform(D3DTS_WORLD, &s.world);
    d->GetTransform(D3DTS_TEXTURE0, &s.texture0);
    return s;
}

// States a game might have left before drawing a marked surface.
void SetGameStates(IDirect3DDevice9* d, IDirect3DTexture9* texture, IDirect3DVertexBuffer9* stream) {
    d->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
    d->SetRenderState(D3DRS_LIGHTING, TRUE);
    d->SetRenderState(D3DRS_FOGENABLE, TRUE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    d->SetRenderState(D3DRS_WRAP0, D3DWRAPCOORD_0);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    d->SetTexture(0, texture);
    d->SetStreamSource(0, stream, 0, 20);
    const D3DMATRIX world = Matrix({0.125f, 0, 0, 0, 0, 0.125f, 0, 0, 0, 0, 0.125f, 0, 0, 0, 0.5f, 1});
    d->SetTransform(D3DTS_WORLD, &world);
    const D3DMATRIX scale = Matrix({2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    d->SetTransform(D3DTS_TEXTURE0, &scale);
}

TEST(ReplaceDraw, HiddenSurfaceSkipsTheDrawAndAnOrdinaryOneIsLeftToTheGame) {
    Device d;
    ASSERT_NE(d.device, nullptr);
    d.Clear();
    SetBoundSurface(kHiddenSurfaceId, nullptr);
    EXPECT_TRUE(ReplaceDraw(d.device, RealDrawUP(d.device)));
    const PixelsRef after = ReadBackBuffer(d.device);
    EXPECT_EQ(after->at(32, 32), kClear);
    SetBoundSurface(1057, nullptr);
    EXPECT_FALSE(ReplaceDraw(d.device, RealDrawUP(d.device)));
    SetBoundSurface(0, nullptr);
}

TEST(ReplaceDraw, AMeshIsDrawnWhereItsTrianglesLieAndEveryStateIsPutBack) {
    Device d;
    ASSERT_NE(d.device, nullptr);
    ASSERT_TRUE(d.depth);
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_TRUE(SUCCEEDED(d.device->CreateTexture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.put(), nullptr)));
    ComPtr<IDirect3DVertexBuffer9> stream;
    ASSERT_TRUE(SUCCEEDED(d.device->CreateVertexBuffer(60, 0, 0, D3DPOOL_MANAGED, stream.put(), nullptr)));
    SetGameStates(d.device, texture.get(), stream.get());
    d.device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    const auto mesh_draw = [&](int bound, std::uint32_t drawing_class) {
        d.Clear();
        d.device->BeginScene();
        SetBoundSurface(bound, texture.get());
        ScopedDrawingClass piece(drawing_class);
        const bool replaced = ReplaceDraw(d.device, RealDrawUP(d.device));
        d.device->EndScene();
        return replaced;
    };
    StateSnapshot before = Snapshot(d.device);
    EXPECT_TRUE(mesh_draw(kShortMeshId, 0));
    EXPECT_TRUE(Snapshot(d.device) == before);
    EXPECT_EQ(BoundSurfaceId(), kShortMeshId);
    EXPECT_EQ(LastStageZeroTexture(), texture.get());
    // The short beam, 3 wide and 4.85 long at 1/8 scale: a white stripe down its middle on red.
    // (Pixel px samples model x 8 (px / 32 - 1): Direct3D 9 puts pixel centres on whole coordinates.)
    const PixelsRef p = ReadBackBuffer(d.device);
    EXPECT_EQ(p->at(32, 32), 0xFFF0F0F0u);
    EXPECT_EQ(p->at(36, 32), 0xFFB4141Eu);
    EXPECT_EQ(p->at(27, 24), 0xFFB4141Eu);
    EXPECT_EQ(p->at(45, 32), kClear);
    EXPECT_EQ(p->at(32, 50), kClear);

    // The game's fog stays on for the parameter meshes...
    d.device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    before = Snapshot(d.device);
    EXPECT_TRUE(mesh_draw(kShortMeshId, 0));
    EXPECT_NE(ReadBackBuffer(d.device)->at(32, 32), 0xFFF0F0F0u);
    EXPECT_TRUE(Snapshot(d.device) == before);

    // ...and goes for the tuple meshes: in a ladder piece an ordinary texture becomes the ladder
    // section (65542), here at 1/2 scale: a rail at model x 0.35..0.55, a rung at y 0.25.
    const D3DMATRIX half = Matrix({0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.125f, 0, 0, 0, 0.5f, 1});
    d.device->SetTransform(D3DTS_WORLD, &half);
    before = Snapshot(d.device);
    EXPECT_TRUE(mesh_draw(1057, kLadderPieceDrawingClass));
    EXPECT_TRUE(Snapshot(d.device) == before);
    const PixelsRef ladder = ReadBackBuffer(d.device);
    EXPECT_EQ(ladder->at(39, 10), 0xFFC81E1Eu);
    EXPECT_EQ(ladder->at(32, 28), 0xFFC8C8C8u);  // Direct3D 9 samples pixel centres at whole screen coordinates
    EXPECT_EQ(ladder->at(52, 32), kClear);
    SetBoundSurface(0, nullptr);
}

TEST(ReplaceDraw, AFailedDrawLetsTheGameDraw) {
    Device d;
    ASSERT_NE(d.device, nullptr);
    SetBoundSurface(kLongMeshId, nullptr);
    const auto failing = [](IDirect3DDevice9*, D3DPRIMITIVETYPE, UINT, const void*, UINT) -> HRESULT WINAPI {
        return D3DERR_INVALIDCALL;
    };
    EXPECT_FALSE(ReplaceDraw(d.device, failing));
    SetBoundSurface(0, nullptr);
}

// ---- TV guard ---------------------------------------------------------------------------------------
IDirect3DTexture9* g_tv = nullptr;
int g_tv_screen = 16385;
void FakeGuardFacts(IDirect3DDevice9*, TvGuardFacts& f) {
    f.tv_screen_id = g_tv_screen;
    f.deadline_passed = false;
    f.tv_texture = g_tv;
}

// 4 x 4 cells of 16 texels, each its own colour.
std::uint32_t CellColour(int cx, int cy) { return 0xFF000000u | std::uint32_t(cx * 60 + 20) << 16 | std::uint32_t(cy * 60 + 20) << 8 | 0x40; }

struct TexturedVertex {
    float x, y, z, u, v;
};

TEST(TvRenderStateGuard, SamplesWhereTheMatrixSaysClampedAndPutsEveryStateBack) {
    Device d;
    ASSERT_NE(d.device, nullptr);
    ComPtr<IDirect3DTexture9> tv;
    ASSERT_TRUE(SUCCEEDED(d.device->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, tv.put(), nullptr)));
    D3DLOCKED_RECT r{};
    ASSERT_TRUE(SUCCEEDED(tv->LockRect(0, &r, nullptr, 0)));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const std::uint32_t c = CellColour(x / 16, y / 16);
            std::memcpy(static_cast<std::uint8_t*>(r.pBits) + y * r.Pitch + x * 4, &c, 4);
        }
    tv->UnlockRect(0);
    g_tv = tv.get();
    PluginFrameSteps().television_guard_facts = &FakeGuardFacts;

    IDirect3DDevice9* dev = d.device;
    SetGameStates(dev, tv.get(), nullptr);
    const D3DMATRIX identity = Matrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    dev->SetTransform(D3DTS_WORLD, &identity);
    dev->SetTransform(D3DTS_VIEW, &identity);
    dev->SetTransform(D3DTS_PROJECTION, &identity);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetRenderState(D3DRS_FOGENABLE, FALSE);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    const StateSnapshot before = Snapshot(dev);

    // The screen's coordinates: u 0..4 left to right, v 1..4 top to bottom (below 1.5 clamps).
    const TexturedVertex quad[4] = {{-1, 1, 0.5f, 0, 1}, {1, 1, 0.5f, 4, 1}, {-1, -1, 0.5f, 0, 4}, {1, -1, 0.5f, 4, 4}};
    const auto draw = [&] {
        d.Clear();
        dev->BeginScene();
        bool active = false;
        {
            TvRenderStateGuard guard(dev);
            active = guard.active();
            dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TexturedVertex));
        }
        dev->EndScene();
        return active;
    };

    SetBoundSurface(0, tv.get());
    ASSERT_TRUE(draw());
    EXPECT_TRUE(Snapshot(dev) == before);
    const PixelsRef p = ReadBackBuffer(dev);
    int checked = 0, clamped = 0, wrong = 0;
    for (int py = 0; py < 64; ++py)
        for (int px = 0; px < 64; ++px) {
            const float u = 4.0f * (float(px) + 0.5f) / 64, v = 1.0f + 3.0f * (float(py) + 0.5f) / 64;
            const auto t = TransformTvCoordinates(u, v);
            const float tx = std::min(std::max(t[0], 0.0f), 1.0f) * 64, ty = std::min(std::max(t[1], 0.0f), 1.0f) * 64;
            const auto near_edge = [](float texel) {
                const float m = std::fmod(texel, 16.0f);
                return texel > 0.5f && texel < 63.5f && (m < 1.5f || m > 14.5f);
            };
            if (near_edge(tx) || near_edge(ty)) continue;
            ++checked;
            if (t[1] < 0) ++clamped;
            const std::uint32_t want = CellColour(std::min(int(tx) / 16, 3), std::min(int(ty) / 16, 3));
            if ((p->at(std::uint32_t(px), std::uint32_t(py)) & 0xFFFFFF) != (want & 0xFFFFFF)) ++wrong;
        }
    EXPECT_GT(checked, 1500);
    EXPECT_GT(clamped, 300);  // the rows above v = 1.5 show the frame's top row
    EXPECT_EQ(wrong, 0);

    // Not a transformed screen, or the TV texture not what stage 0 was given: the guard stays out.
    g_tv_screen = 15;
    EXPECT_FALSE(draw());
    g_tv_screen = 16385;
    SetBoundSurface(0, nullptr);
    EXPECT_FALSE(draw());
    SetBoundSurface(0, tv.get());
    IDirect3DVertexShader9* shader = nullptr;
    const DWORD passthrough[] = {0xFFFE0101, 0x0000001F, 0x80000000, 0x900F0000, 0x00000001, 0xC00F0000, 0x90E40000, 0x0000FFFF};
    if (SUCCEEDED(dev->CreateVertexShader(passthrough, &shader))) {
        dev->SetVertexShader(shader);
        EXPECT_FALSE(draw()) << "a vertex shader is bound";
        dev->SetVertexShader(nullptr);
        shader->Release();
    }
    dev->SetTexture(0, nullptr);
    EXPECT_FALSE(draw()) << "the device's stage 0 holds another texture";
    EXPECT_TRUE(Snapshot(dev).values == before.values);
    PluginFrameSteps().television_guard_facts = nullptr;
    SetBoundSurface(0, nullptr);
    g_tv = nullptr;
}

}  // namespace
}  // namespace hm
