// GalleryTextures on a real device under Wine: made after the lock, remade only for a changed
// revision, dropped with the deadline or a new device, skipped for a frame while the worker holds
// the GalleryLock, and handed to the SetTexture detour only while live.
#include "photos/gallery_textures_win.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "game/test_device_win_test_util.h"

namespace hm {
namespace {

PixelsRef Solid(std::uint32_t w, std::uint32_t h, std::uint32_t argb) {
    PixelsRef p = MakePixels(w, h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) p->set(x, y, argb);
    return p;
}

std::uint32_t FirstPixel(IDirect3DBaseTexture9* base) {
    auto* t = static_cast<IDirect3DTexture9*>(base);
    D3DLOCKED_RECT r{};
    if (!t || FAILED(t->LockRect(0, &r, nullptr, D3DLOCK_READONLY))) return 0;
    const std::uint32_t p = *static_cast<const std::uint32_t*>(r.pBits);
    t->UnlockRect(0);
    return p;
}

TEST(GalleryTextures, FollowTheCacheTheDeadlineAndTheDevice) {
    TestDevice d(64, 64);
    ASSERT_NE(d.device, nullptr);
    ReleaseGalleryTextures();
    Gallery g;
    const Tick now = 100000;
    g.cache[1057] = {1, Solid(8, 4, 0xFFD02020)};
    g.cache[3] = {7, Solid(2, 2, 0xFF20B040)};
    g.deadline = now + 3500;
    const std::uint64_t made = GalleryTexturesMade();
    RefreshGalleryTextures(g, d.device, now);
    EXPECT_EQ(GalleryTexturesMade() - made, 2u);
    IDirect3DBaseTexture9* picture = GalleryTextureFor(g, d.device, 1057, now);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(FirstPixel(picture), 0xFFD02020u);
    EXPECT_EQ(GalleryTextureFor(g, d.device, 2, now), nullptr);
    EXPECT_EQ(GalleryTextureFor(g, nullptr, 1057, now), nullptr) << "another device";
    EXPECT_EQ(GalleryTextureFor(g, d.device, 1057, now + 3500), nullptr) << "the deadline passed";

    // Nothing changed: nothing made. A new revision of one: only that one.
    RefreshGalleryTextures(g, d.device, now + 1);
    EXPECT_EQ(GalleryTexturesMade() - made, 2u);
    g.cache[1057] = {2, Solid(8, 4, 0xFF2040D0)};
    RefreshGalleryTextures(g, d.device, now + 2);
    EXPECT_EQ(GalleryTexturesMade() - made, 3u);
    EXPECT_EQ(FirstPixel(GalleryTextureFor(g, d.device, 1057, now + 2)), 0xFF2040D0u);

    // The worker holds the lock: this frame keeps what it has and never waits.
    g.cache.erase(3);
    {
        std::lock_guard<std::mutex> held(g.lock);
        std::thread render([&] { RefreshGalleryTextures(g, d.device, now + 3); });
        render.join();
    }
    EXPECT_EQ(GalleryTextureCount(), 2u);
    RefreshGalleryTextures(g, d.device, now + 4);
    EXPECT_EQ(GalleryTextureCount(), 1u) << "an unlisted picture's texture goes";

    // The deadline passes: everything goes; a new device starts over.
    RefreshGalleryTextures(g, d.device, now + 3500);
    EXPECT_EQ(GalleryTextureCount(), 0u);
    TestDevice other(64, 64);
    ASSERT_NE(other.device, nullptr);
    RefreshGalleryTextures(g, other.device, now + 5);
    EXPECT_EQ(GalleryTextureCount(), 1u);
    EXPECT_EQ(GalleryTextureFor(g, d.device, 1057, now + 5), nullptr);
    EXPECT_NE(GalleryTextureFor(g, other.device, 1057, now + 5), nullptr);
    ReleaseGalleryTextures();
}

}  // namespace
}  // namespace hm
