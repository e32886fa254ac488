// Under 32-bit Wine on a real device: ScreenTextureId of every texture kind the game may bind,
// the lettering bitmap and its textures per device, and the TV substitution for stage 0.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "base/owners_win.h"
#include "game/test_device_win_test_util.h"
#include "game/world_surfaces.h"
#include "tv/lettering_win.h"
#include "tv/tv_controller_win.h"
#include "tv/tv_picture_win.h"

namespace hm {
namespace {

struct Device : TestDevice {
    Device() : TestDevice(64, 64) {}
    ~Device() { ReleaseTelevisionTexture(); }
};

// Fills every level of a 32-bit texture with one colour (0x00RRGGBB).
void FillLevels(IDirect3DTexture9* t, std::uint32_t rgb, std::uint32_t level0_rgb) {
    for (UINT level = 0; level < t->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc{};
        t->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT r{};
        ASSERT_TRUE(SUCCEEDED(t->LockRect(level, &r, nullptr, 0)));
        const std::uint32_t p = 0xFF000000u | (level == 0 ? level0_rgb : rgb);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x) std::memcpy(static_cast<std::uint8_t*>(r.pBits) + y * UINT(r.Pitch) + x * 4, &p, 4);
        t->UnlockRect(level);
    }
}

int IdOf(IDirect3DDevice9* d, IDirect3DBaseTexture9* t) {
    RunTelevisionFrameStep(d);  // a new frame: nothing cached
    return ScreenTextureId(d, t);
}

TEST(ScreenTextureIdKinds, OnlyA32x32ThirtyTwoBitLevelZeroCarriesAnId) {
    Device d;
    ASSERT_NE(d.device, nullptr);
    IDirect3DDevice9* dev = d.device;
    constexpr std::uint32_t kId1057 = (8 + 1) << 16 | (8 + 1) << 8 | (8 + 1);  // (9, 9, 9): id 1057
    EXPECT_EQ(IdOf(dev, nullptr), 0);

    ComPtr<IDirect3DTexture9> x8;
    ASSERT_TRUE(SUCCEEDED(dev->CreateTexture(32, 32, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, x8.put(), nullptr)));
    FillLevels(x8.get(), kId1057, kId1057);
    EXPECT_EQ(IdOf(dev, x8.get()), 1057) << "X8R8G8B8";

    // Mip levels: level 0 decides, whatever the smaller levels hold.
    ComPtr<IDirect3DTexture9> mipped;
    ASSERT_TRUE(SUCCEEDED(dev->CreateTexture(32, 32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, mipped.put(), nullptr)));
    ASSERT_GT(mipped->GetLevelCount(), 1u);
    FillLevels(mipped.get(), 0x000000, 0xA82530);
    EXPECT_EQ(IdOf(dev, mipped.get()), 65537);
    FillLevels(mipped.get(), 0xA82530, 0x000000);
    EXPECT_EQ(IdOf(dev, mipped.get()), 0);

    ComPtr<IDirect3DCubeTexture9> cube;
    ASSERT_TRUE(SUCCEEDED(dev->CreateCubeTexture(32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, cube.put(), nullptr)));
    for (int face = 0; face < 6; ++face) {
        D3DLOCKED_RECT r{};
        ASSERT_TRUE(SUCCEEDED(cube->LockRect(D3DCUBEMAP_FACES(face), 0, &r, nullptr, 0)));
        for (UINT y = 0; y < 32; ++y)
            for (UINT x = 0; x < 32; ++x) {
                const std::uint32_t p = 0xFF000000u | kId1057;
                std::memcpy(static_cast<std::uint8_t*>(r.pBits) + y * UINT(r.Pitch) + x * 4, &p, 4);
            }
        cube->UnlockRect(D3DCUBEMAP_FACES(face), 0);
    }
    EXPECT_EQ(IdOf(dev, cube.get()), 0) << "cube";

    ComPtr<IDirect3DVolumeTexture9> volume;
    if (SUCCEEDED(dev->CreateVolumeTexture(32, 32, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, volume.put(), nullptr))) {
        EXPECT_EQ(IdOf(dev, volume.get()), 0) << "volume";
    }

    ComPtr<IDirect3DTexture9> dxt1;
    if (SUCCEEDED(dev->CreateTexture(32, 32, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, dxt1.put(), nullptr))) {
        EXPECT_EQ(IdOf(dev, dxt1.get()), 0) << "DXT1";
    }

    // Default pool, no render target: neither lockable nor copyable.
    ComPtr<IDirect3DTexture9> plain;
    ASSERT_TRUE(SUCCEEDED(dev->CreateTexture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, plain.put(), nullptr)));
    EXPECT_EQ(IdOf(dev, plain.get()), 0) << "default pool";

    // A render target of the right size and another centre colour.
    ComPtr<IDirect3DTexture9> target;
    ASSERT_TRUE(SUCCEEDED(dev->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                             target.put(), nullptr)));
    ComPtr<IDirect3DSurface9> level;
    target->GetSurfaceLevel(0, level.put());
    dev->ColorFill(level.get(), nullptr, D3DCOLOR_XRGB(168, 37, 50));
    EXPECT_EQ(IdOf(dev, target.get()), 65539);
    const RECT centre{16, 16, 17, 17};
    dev->ColorFill(level.get(), &centre, D3DCOLOR_XRGB(168, 37, 51));
    EXPECT_EQ(IdOf(dev, target.get()), 0);
}

TEST(ScreenTextureIdKinds, MoreThan256TexturesInAFrameStillAnswerRight) {
    Device d;
    ASSERT_NE(d.device, nullptr);
    std::vector<ComPtr<IDirect3DTexture9>> many(300);
    RunTelevisionFrameStep(d.device);
    for (std::size_t i = 0; i < many.size(); ++i) {
        ASSERT_TRUE(SUCCEEDED(d.device->CreateTexture(32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, many[i].put(), nullptr)));
        const int id = int(i) + 1;
        FillLevels(many[i].get(), 0, std::uint32_t(((8 + ((id >> 10) & 31)) << 16) | ((8 + ((id >> 5) & 31)) << 8) | (8 + (id & 31))));
        EXPECT_EQ(ScreenTextureId(d.device, many[i].get()), id);
    }
    for (std::size_t i = 0; i < many.size(); ++i) EXPECT_EQ(ScreenTextureId(d.device, many[i].get()), int(i) + 1);
}

TEST(Lettering, TextColourOnlyInsideItsTwoRectangles) {
    for (int variant : {0, 1}) {
        const LetteringLayout layout = LetteringLayoutOf(variant);
        const std::vector<std::uint8_t> bits = RenderLetteringBitmap(variant);
        ASSERT_EQ(bits.size(), 512u * 256u * 4u);
        const auto rgb = [&](int x, int y) {
            const std::uint8_t* p = &bits[(std::size_t(y) * 512 + std::size_t(x)) * 4];
            return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];  // as a COLORREF
        };
        int text_pixels[2] = {0, 0}, outside_not_background = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 512; ++x) {
                const std::uint32_t c = rgb(x, y);
                int in = -1;
                for (int k = 0; k < 2; ++k) {
                    const LetteringLine& l = layout.lines[std::size_t(k)];
                    if (x >= l.left && x < l.right && y >= l.top && y < l.bottom) in = k;
                }
                if (in < 0 && c != layout.background) ++outside_not_background;
                if (in >= 0 && c == layout.text_colour) ++text_pixels[in];
            }
        EXPECT_EQ(outside_not_background, 0) << variant;
        EXPECT_GT(text_pixels[0], 200) << variant;
        EXPECT_GT(text_pixels[1], 200) << variant;
        EXPECT_EQ(rgb(2, 2), layout.background);
        EXPECT_EQ(rgb(509, 253), layout.background);
    }
}

TEST(Lettering, MadeOncePerDeviceAndAgainAfterADeviceChange) {
    const int before = LetteringTexturesMade();
    IDirect3DBaseTexture9* first = nullptr;
    {
        Device d;
        ASSERT_NE(d.device, nullptr);
        first = LetteringTexture(d.device, 0);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(LetteringTexture(d.device, 0), first);
        ASSERT_NE(LetteringTexture(d.device, 1), nullptr);
        EXPECT_NE(LetteringTexture(d.device, 1), first);
        EXPECT_EQ(LetteringTexture(d.device, 2), nullptr);
        EXPECT_EQ(LetteringTexturesMade() - before, 2);
        D3DSURFACE_DESC desc{};
        static_cast<IDirect3DTexture9*>(first)->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Width, 512u);
        EXPECT_EQ(desc.Height, 256u);
        EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        D3DLOCKED_RECT r{};
        ASSERT_TRUE(SUCCEEDED(static_cast<IDirect3DTexture9*>(first)->LockRect(0, &r, nullptr, D3DLOCK_READONLY)));
        std::uint32_t corner;
        std::memcpy(&corner, r.pBits, 4);
        static_cast<IDirect3DTexture9*>(first)->UnlockRect(0);
        EXPECT_EQ(corner & 0xFFFFFF, 0xA6181Du);  // RGB(166, 24, 29)
        // The same device again the next frame: nothing new.
        LetteringTexture(d.device, 0);
        EXPECT_EQ(LetteringTexturesMade() - before, 2);
        // Another device (the first one stays alive meanwhile, so the pointers differ).
        Device other;
        ASSERT_NE(other.device, nullptr);
        EXPECT_NE(LetteringTexture(other.device, 0), nullptr);
        EXPECT_EQ(LetteringTexturesMade() - before, 3);
    }
}

TEST(TelevisionSubstitution, OnlyTheLiveScreenIdOnItsDevice) {
    Device d;
    ASSERT_NE(d.device, nullptr);
    // A running helper's block as the frame step reads it.
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kTvBlockBytes, nullptr);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    BrowserHelperLink& link = PluginTv().link;
    link.mapping = mapping;
    link.mutex = mutex;
    link.view = static_cast<TvFrameBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kTvBlockBytes));
    link.view->frame_counter = 1;
    PluginTv().screen.screen_id = 15;
    PluginTv().screen.frame_deadline = GetTickCount64() + 60000;
    RunTelevisionFrameStep(d.device);
    IDirect3DTexture9* tv = LiveTelevisionTexture(d.device);
    ASSERT_NE(tv, nullptr);
    EXPECT_EQ(TelevisionTextureFor(d.device, 15), tv);
    EXPECT_EQ(TelevisionTextureFor(d.device, 16), nullptr);
    EXPECT_EQ(TelevisionTextureFor(nullptr, 15), nullptr);
    TvGuardFacts facts;
    TelevisionGuardFacts(d.device, facts);
    EXPECT_EQ(facts.tv_texture, nullptr) << "15 has no bit 0x4000";
    PluginTv().screen.screen_id = 16385;
    EXPECT_EQ(TelevisionTextureFor(d.device, 16385), tv);
    TelevisionGuardFacts(d.device, facts);
    EXPECT_EQ(facts.tv_texture, tv);
    EXPECT_FALSE(facts.deadline_passed);
    PluginTv().screen.screen_id = 30001;  // in-vehicle only: no world texture
    EXPECT_EQ(TelevisionTextureFor(d.device, 30001), nullptr);
    PluginTv().screen.screen_id = 16385;
    PluginTv().screen.frame_deadline = GetTickCount64() - 1;
    EXPECT_EQ(TelevisionTextureFor(d.device, 16385), nullptr);
    TvGuardFacts late;
    TelevisionGuardFacts(d.device, late);
    EXPECT_TRUE(late.deadline_passed);
    StopTelevision();
}

}  // namespace
}  // namespace hm
