// DrawShownPhoto on a real Direct3D 9 device under Wine: what lands in the back buffer, the
// try-lock that keeps last frame's texture, and textures following a device change.
#include "photos/shown_photo_win.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "base/plugin.h"
#include "base/shared_state.h"
#include "game/d3d9_hooks_win.h"
#include "game/test_device_win_test_util.h"
#include "photos/photo_rules.h"

namespace hm {
namespace {

struct Device : TestDevice {
    using TestDevice::TestDevice;
    // One frame: the game's picture (solid blue), then the photo layer.
    PixelsRef Frame() {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
        if (SUCCEEDED(device->BeginScene())) {  // the frame work's scene, as in Present
            DrawShownPhoto(device);
            device->EndScene();
        }
        return ReadBackBuffer(device);
    }
};

PixelsRef Solid(std::uint32_t w, std::uint32_t h, std::uint32_t argb) {
    PixelsRef p = MakePixels(w, h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) p->set(x, y, argb);
    return p;
}

void Show(PixelsRef picture) {
    SharedState& shared = PluginShared();
    std::lock_guard<std::mutex> hold(shared.lock);
    shared.shown_photo = std::move(picture);
    ++shared.shown_photo_version;
}

std::uint32_t Rgb(const Pixels& p, int x, int y) { return p.at(std::uint32_t(x), std::uint32_t(y)) & 0xFFFFFF; }

TEST(ShownPhoto, BackdropPhotoAndCloseMarkLandWhereTheLayoutSaysOnlyWhileVisible) {
    Device d(640, 480);
    ASSERT_NE(d.device, nullptr);
    Show(Solid(160, 90, 0xFFFF0000));
    Plugin().photo_visible.store(true);
    PixelsRef f = d.Frame();
    EXPECT_TRUE(IsShownPhotoDrawn());
    // Backdrop 178,106 267x275; the 16:9 photo fills its width, rows 168..318; mark 426,108 17x18.
    EXPECT_EQ(Rgb(*f, 10, 10), 0x0000FFu) << "game picture outside";
    EXPECT_EQ(Rgb(*f, 200, 120), 0x141414u) << "backdrop above the photo";
    EXPECT_EQ(Rgb(*f, 311, 243), 0xFF0000u) << "photo in the middle";
    EXPECT_EQ(Rgb(*f, 300, 370), 0x141414u) << "backdrop below the photo";
    EXPECT_EQ(Rgb(*f, 176, 243), 0x0000FFu) << "left of the backdrop";
    EXPECT_EQ(Rgb(*f, 428, 110), 0x2D2D2Du) << "close mark's grey corner";
    EXPECT_GT(Rgb(*f, 434, 117) & 0xFF, 0x80u) << "close mark's light cross centre";

    Plugin().photo_visible.store(false);
    f = d.Frame();
    EXPECT_FALSE(IsShownPhotoDrawn());
    EXPECT_EQ(Rgb(*f, 311, 243), 0x0000FFu);
    EXPECT_EQ(Rgb(*f, 200, 120), 0x0000FFu);

    Plugin().photo_visible.store(true);
    Show(nullptr);
    f = d.Frame();
    EXPECT_FALSE(IsShownPhotoDrawn()) << "visible but no photo: nothing drawn, the banner may show";
    EXPECT_EQ(Rgb(*f, 200, 120), 0x0000FFu);
}

TEST(ShownPhoto, BusyLockKeepsLastFramesTextureAndANewDeviceGetsItsOwn) {
    Plugin().photo_visible.store(true);
    Show(Solid(64, 36, 0xFFFF0000));
    {
        Device d(640, 480);
        ASSERT_NE(d.device, nullptr);
        EXPECT_EQ(Rgb(*d.Frame(), 311, 243), 0xFF0000u);
        SharedState& shared = PluginShared();
        {
            std::unique_lock<std::mutex> worker(shared.lock);
            shared.shown_photo = Solid(64, 36, 0xFF00FF00);
            ++shared.shown_photo_version;
            PixelsRef busy;
            std::thread render([&] { busy = d.Frame(); });  // the render thread never waits
            render.join();
            EXPECT_EQ(Rgb(*busy, 311, 243), 0xFF0000u) << "last frame's texture while the lock is busy";
        }
        EXPECT_EQ(Rgb(*d.Frame(), 311, 243), 0x00FF00u);
    }
    Device other(1280, 720);
    ASSERT_NE(other.device, nullptr);
    PixelsRef f = other.Frame();
    EXPECT_TRUE(IsShownPhotoDrawn());
    // 1280 x 720: backdrop 356,159 534x412; the photo fills its width, centred at (623, 365).
    EXPECT_EQ(Rgb(*f, 623, 365), 0x00FF00u) << "photo uploaded again for the new device";
    EXPECT_EQ(Rgb(*f, 380, 170), 0x141414u);
    ReleaseShownPhotoTextures();
    Show(nullptr);
    Plugin().photo_visible.store(false);
}

}  // namespace
}  // namespace hm
