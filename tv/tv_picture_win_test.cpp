// The TV picture on a real Direct3D 9 device under 32-bit Wine: the upload into the TvTexture,
// ScreenTextureId of marker textures, and the cab screen's pixels.
#include "tv/tv_picture_win.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <thread>

#include "base/plugin.h"
#include "game/d3d9_hooks_win.h"
#include "game/test_device_win_test_util.h"
#include "tv/tv_controller_win.h"

namespace hm {
namespace {

// The game's 640 x 480 device; the TvTexture goes with it.
struct Device : TestDevice {
    Device() : TestDevice(640, 480) {}
    ~Device() { ReleaseTelevisionTexture(); }
};

// The TV controller's link over a block of the test's own, as a running helper would leave it.
struct FakeLink {
    HANDLE mapping, mutex;
    FakeLink() {
        mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kTvBlockBytes, nullptr);
        mutex = CreateMutexW(nullptr, FALSE, nullptr);
        BrowserHelperLink& link = PluginTv().link;
        link.mapping = mapping;
        link.mutex = mutex;
        link.view = static_cast<TvFrameBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kTvBlockBytes));
        Live(15);
    }
    ~FakeLink() { StopTelevision(); }
    TvFrameBlock& Block() { return *PluginTv().link.view; }
    void Live(int id) {
        PluginTv().screen.screen_id = id;
        PluginTv().screen.frame_deadline = GetTickCount64() + 60000;
    }
    // A frame whose pixel (x, y) is `seed` + x + 1000 y, alpha 255.
    void Write(std::uint32_t seed) {
        for (std::uint32_t y = 0; y < kTvFrameHeight; ++y)
            for (std::uint32_t x = 0; x < kTvFrameWidth; ++x) {
                const std::uint32_t p = 0xFF000000u | ((seed + x + 1000 * y) & 0xFFFFFF);
                std::memcpy(Block().frame + (y * kTvFrameWidth + x) * 4, &p, 4);
            }
        ++Block().frame_counter;
    }
};

// The TvTexture's pixel (x, y), 0 when there is none.
std::uint32_t TexturePixel(IDirect3DDevice9* device, std::uint32_t x, std::uint32_t y) {
    IDirect3DTexture9* t = LiveTelevisionTexture(device);
    if (!t) return 0;
    D3DLOCKED_RECT r{};
    if (FAILED(t->LockRect(0, &r, nullptr, D3DLOCK_READONLY))) return 0;
    std::uint32_t p;
    std::memcpy(&p, static_cast<std::uint8_t*>(r.pBits) + y * static_cast<std::uint32_t>(r.Pitch) + x * 4, 4);
    t->UnlockRect(0);
    return p;
}

TEST(TelevisionFrame, UploadsOnlyNewFramesWhenTheLocksAreFree) {
    Device d;
    ASSERT_NE(d.device, nullptr);
    FakeLink link;
    link.Write(7);
    RunTelevisionFrameStep(d.device);
    EXPECT_EQ(TexturePixel(d.device, 0, 0), 0xFF000007u);
    EXPECT_EQ(TexturePixel(d.device, 959, 539), 0xFF000000u | ((7u + 959 + 539000) & 0xFFFFFF)) << "rows follow the pitch";

    // The counter did not move: nothing is copied.
    std::memset(link.Block().frame, 0x11, kTvFrameBytes);
    RunTelevisionFrameStep(d.device);
    EXPECT_EQ(TexturePixel(d.device, 0, 0), 0xFF000007u);

    // The helper holds the frame mutex, or another thread TvLock: the frame is skipped, not waited for.
    link.Write(9);
    for (int which = 0; which < 2; ++which) {
        HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr), done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread holder([&] {
            if (which == 0) {
                WaitForSingleObject(link.mutex, INFINITE);
                SetEvent(taken);
                WaitForSingleObject(done, INFINITE);
                ReleaseMutex(link.mutex);
            } else {
                std::lock_guard<std::mutex> hold(PluginTv().lock);
                SetEvent(taken);
                WaitForSingleObject(done, INFINITE);
            }
        });
        WaitForSingleObject(taken, INFINITE);
        const ULONGLONG t0 = GetTickCount64();
        RunTelevisionFrameStep(d.device);
        EXPECT_LT(GetTickCount64() - t0, 1000u);
        EXPECT_EQ(TexturePixel(d.device, 0, 0), 0xFF000007u);
        SetEvent(done);
        holder.join();
        CloseHandle(taken);
        CloseHandle(done);
    }
    RunTelevisionFrameStep(d.device);
    EXPECT_EQ(TexturePixel(d.device, 0, 0), 0xFF000009u);

    // The deadline passes: the picture goes.
    PluginTv().screen.frame_deadline = GetTickCount64() - 1;
    RunTelevisionFrameStep(d.device);
    EXPECT_EQ(LiveTelevisionTexture(d.device), nullptr);
}

ComPtr<IDirect3DTexture9> Marker(IDirect3DDevice9* device, UINT size, std::uint32_t rgb, bool centre_differs = false) {
    ComPtr<IDirect3DTexture9> t;
    if (FAILED(device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.put(), nullptr))) return t;
    D3DLOCKED_RECT r{};
    t->LockRect(0, &r, nullptr, 0);
    for (UINT y = 0; y < size; ++y)
        for (UINT x = 0; x < size; ++x) {
            std::uint32_t p = 0xFF000000u | rgb;
            if (centre_differs && x == 16 && y == 16) p ^= 1;
            std::memcpy(static_cast<std::uint8_t*>(r.pBits) + y * UINT(r.Pitch) + x * 4, &p, 4);
        }
    t->UnlockRect(0);
    return t;
}

TEST(ScreenTextureId, MarkerTexturesAndTheUnlockableKind) {
    Device d;
    ASSERT_NE(d.device, nullptr);
    struct Case {
        const char* what;
        UINT size;
        std::uint32_t rgb;
        bool centre_differs;
        int id;
    };
    const Case cases[] = {
        {"first screen", 32, 0x080809, false, 1},
        {"last screen", 32, 0x272727, false, 32767},
        {"special", 32, 0xA82539, false, 65546},
        {"centre differs", 32, 0x080809, true, 0},
        {"64 x 64", 64, 0x080809, false, 0},
    };
    for (const Case& c : cases) {
        RunTelevisionFrameStep(d.device);  // a new frame: the cache starts empty
        ComPtr<IDirect3DTexture9> t = Marker(d.device, c.size, c.rgb, c.centre_differs);
        ASSERT_TRUE(t) << c.what;
        EXPECT_EQ(ScreenTextureId(d.device, t.get()), c.id) << c.what;
    }
    // A render-target texture cannot be locked: its level is read through system memory.
    ComPtr<IDirect3DTexture9> target;
    ASSERT_TRUE(SUCCEEDED(d.device->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                                  target.put(), nullptr)));
    ComPtr<IDirect3DSurface9> level;
    target->GetSurfaceLevel(0, level.put());
    d.device->ColorFill(level.get(), nullptr, D3DCOLOR_XRGB(39, 39, 39));
    RunTelevisionFrameStep(d.device);
    EXPECT_EQ(ScreenTextureId(d.device, target.get()), 32767);
    // Within one frame the answer is cached; the next frame reads the texture again.
    d.device->ColorFill(level.get(), nullptr, D3DCOLOR_XRGB(8, 8, 9));
    EXPECT_EQ(ScreenTextureId(d.device, target.get()), 32767);
    RunTelevisionFrameStep(d.device);
    EXPECT_EQ(ScreenTextureId(d.device, target.get()), 1);
}

// A screen filling the middle of a 640 x 480 view: 90 degrees, corners at +-1 / 0.75 at depth 2.
CabScreenRecord MiddleScreen() {
    CabScreenRecord s{};
    s.corners = {Vec3{-1, 2, 0.75f}, Vec3{1, 2, 0.75f}, Vec3{-1, 2, -0.75f}, Vec3{1, 2, -0.75f}};
    s.eye = {0, 0, 0};
    s.front = {0, 1, 0};
    s.up = {0, 0, 1};
    s.fov_degrees = 90;
    return s;
}

// One game frame: the frame step, the camera (or not), the plugin's scene; the back buffer.
PixelsRef CabFrame(Device& d, const CabScreenRecord* camera) {
    RunTelevisionFrameStep(d.device);
    if (camera) WriteCabScreen(*camera);
    d.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    if (SUCCEEDED(d.device->BeginScene())) {
        DrawTelevisionPicture(d.device);
        d.device->EndScene();
    }
    return ReadBackBuffer(d.device);
}

TEST(CabScreen, TheTvPictureLandsOnTheProjectedCorners) {
    Device d;
    ASSERT_NE(d.device, nullptr);
    FakeLink link;
    link.Live(30001);
    // Left half red, right half green.
    for (std::uint32_t y = 0; y < kTvFrameHeight; ++y)
        for (std::uint32_t x = 0; x < kTvFrameWidth; ++x) {
            const std::uint32_t p = x < kTvFrameWidth / 2 ? 0xFFFF0000u : 0xFF00FF00u;
            std::memcpy(link.Block().frame + (y * kTvFrameWidth + x) * 4, &p, 4);
        }
    ++link.Block().frame_counter;
    const CabScreenRecord screen = MiddleScreen();
    PixelsRef f = CabFrame(d, &screen);
    // The quad spans x 160..480, y 120..360.
    EXPECT_EQ(f->at(240, 240) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(f->at(400, 240) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(f->at(100, 240) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(f->at(320, 60) & 0xFFFFFF, 0x0000FFu);

    // Not written this frame, a corner behind the eye, or a photo shown: the game's picture only.
    f = CabFrame(d, nullptr);
    EXPECT_EQ(f->at(240, 240) & 0xFFFFFF, 0x0000FFu);
    CabScreenRecord behind = screen;
    behind.corners[3].y = -1;
    f = CabFrame(d, &behind);
    EXPECT_EQ(f->at(240, 240) & 0xFFFFFF, 0x0000FFu);
    Plugin().photo_visible = true;
    f = CabFrame(d, &screen);
    Plugin().photo_visible = false;
    EXPECT_EQ(f->at(240, 240) & 0xFFFFFF, 0x0000FFu);
    f = CabFrame(d, &screen);
    EXPECT_EQ(f->at(240, 240) & 0xFFFFFF, 0xFF0000u);
}

}  // namespace
}  // namespace hm
