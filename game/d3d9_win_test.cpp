// The Direct3D side under Wine: back-buffer reads (plain and multisampled), the clean-frame
// capture inside a scene, texture upload, and then the installed hooks on a device of this
// process: the photo time-out, a failing frame's notice and the pairing chat command.
#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "base/plugin.h"
#include "base/shared_state.h"
#include "base/win_api_failure.h"
#include "game/d3d9_faults_win.h"
#include "game/d3d9_hooks_win.h"
#include "game/frame_steps_win.h"
#include "game/input_state.h"
#include "game/input_win.h"
#include "game/samp_win.h"
#include "game/present_rules.h"
#include "game/test_device_win_test_util.h"
#include "base/overlay_frame.h"

namespace hm {
namespace {

using Device = TestDevice;

void ExpectAll(const Pixels& p, std::uint32_t argb) {
    int wrong = 0;
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < p.width(); ++x) wrong += p.at(x, y) != argb;
    EXPECT_EQ(wrong, 0) << "of " << p.width() << "x" << p.height() << ", first " << std::hex << p.at(0, 0);
}

TEST(BackBuffer, ReadsAClearedColourWithOpaqueAlpha) {
    Device d(96, 40);
    ASSERT_EQ(d.hr, D3D_OK);
    // X8R8G8B8 leaves the X byte undefined: the read must still give alpha 255.
    ASSERT_EQ(d.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00336699, 1.0f, 0), D3D_OK);
    const PixelsRef p = ReadBackBuffer(d.device);
    ASSERT_EQ(p->width(), 96u);
    ASSERT_EQ(p->height(), 40u);
    ExpectAll(*p, 0xFF336699);
}

TEST(BackBuffer, AMultisampledBufferIsResolvedFirst) {
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    const bool supported = SUCCEEDED(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE,
                                                                    D3DMULTISAMPLE_4_SAMPLES, nullptr));
    d3d->Release();
    if (!supported) GTEST_SKIP() << "this Wine offers no 4x multisampling";
    Device d(64, 48, D3DMULTISAMPLE_4_SAMPLES);
    ASSERT_EQ(d.hr, D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(d.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    back->Release();
    ASSERT_EQ(desc.MultiSampleType, D3DMULTISAMPLE_4_SAMPLES);
    // Reading a multisampled buffer directly fails; the resolve makes it readable.
    ASSERT_EQ(d.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00C01080, 1.0f, 0), D3D_OK);
    const PixelsRef p = ReadBackBuffer(d.device);
    ASSERT_EQ(p->width(), 64u);
    ExpectAll(*p, 0xFFC01080);
}

TEST(BackBuffer, TooWideABufferIsRefused) {
    Device d(4097, 4);
    if (d.hr != D3D_OK) GTEST_SKIP() << "no 4097-pixel back buffer here: " << std::hex << d.hr;
    try {
        ReadBackBuffer(d.device);
        ADD_FAILURE() << "read a 4097-pixel buffer";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "unsupported backbuffer; use 32-bit display <=4096x4096");
    }
}

TEST(CleanFrame, CaptureInsideASceneLeavesTheSceneOpen) {
    Device d(80, 60);
    ASSERT_EQ(d.hr, D3D_OK);
    ASSERT_EQ(d.device->BeginScene(), D3D_OK);
    ASSERT_EQ(d.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00102030, 1.0f, 0), D3D_OK);
    const PixelsRef p = CaptureCleanFrame(d.device);
    ExpectAll(*p, 0xFF102030);
    // Still inside a scene: a second BeginScene fails, EndScene succeeds.
    EXPECT_NE(d.device->BeginScene(), D3D_OK);
    EXPECT_EQ(d.device->EndScene(), D3D_OK);
}

TEST(Texture, PixelsArriveRowByRowWhateverThePitch) {
    Device d(32, 32);
    ASSERT_EQ(d.hr, D3D_OK);
    Pixels p(13, 5);  // an odd width, so the texture's pitch is wider than a row
    for (std::uint32_t y = 0; y < 5; ++y)
        for (std::uint32_t x = 0; x < 13; ++x) p.set(x, y, 0x80000000u | (y << 16) | x);
    const ComPtr<IDirect3DTexture9> t = TextureFromPixels(d.device, p);
    ASSERT_TRUE(t);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    int wrong = 0;
    for (std::uint32_t y = 0; y < 5; ++y)
        for (std::uint32_t x = 0; x < 13; ++x)
            wrong += reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(lr.pBits) + y * lr.Pitch)[x] !=
                     p.at(x, y);
    t->UnlockRect(0);
    EXPECT_EQ(wrong, 0);

    try {
        Pixels huge(65536, 1);
        TextureFromPixels(d.device, huge, 311, 312);
        ADD_FAILURE() << "a texture wider than any device allows";
    } catch (const WinApiFailure& e) {
        EXPECT_EQ(e.call_site(), 311);
    }
}

// ---- Fault table: each device call of the shell fails in turn ------------------------------------

ULONG RefCount(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

// Arms one call of the fault seam for its scope.
struct ArmedFault {
    explicit ArmedFault(ShellCall call, HRESULT hr = D3DERR_INVALIDCALL) {
        Direct3DShellFault().result.store(hr);
        Direct3DShellFault().call.store(call);
    }
    ~ArmedFault() { Direct3DShellFault().call.store(ShellCall::kNone); }
};

std::string FailureText(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no failure";
}

struct ShellCase {
    ShellCall call;
    const char* text;
};

// Every call fails with its own text and leaves the device's reference count as it was; the same
// read succeeds once the fault is gone.
void ExpectEachCallFails(IDirect3DDevice9* device, const std::function<void()>& body,
                         std::initializer_list<ShellCase> cases) {
    for (const ShellCase& c : cases) {
        const ULONG before = RefCount(device);
        {
            ArmedFault fault(c.call);
            EXPECT_EQ(FailureText(body), c.text);
        }
        EXPECT_EQ(RefCount(device), before) << c.text;
    }
    EXPECT_EQ(FailureText(body), "no failure");
}

TEST(ShellFaults, EachCallOfABackBufferReadOrUploadFailsWithItsSite) {
    Device d(64, 48);
    ASSERT_EQ(d.hr, D3D_OK);
    ExpectEachCallFails(d.device, [&] { ReadBackBuffer(d.device); },
                        {{ShellCall::kGetBackBuffer, "Windows API failure at line 96: 0x8876086c"},
                         {ShellCall::kGetDesc, "Windows API failure at line 97: 0x8876086c"},
                         {ShellCall::kCreateOffscreenPlainSurface, "Windows API failure at line 107: 0x8876086c"},
                         {ShellCall::kGetRenderTargetData, "Windows API failure at line 108: 0x8876086c"},
                         {ShellCall::kLockBackBufferCopy, "Windows API failure at line 111: 0x8876086c"}});
    Pixels p(8, 8);
    ExpectEachCallFails(d.device, [&] { TextureFromPixels(d.device, p, 311, 312); },
                        {{ShellCall::kCreateTexture, "Windows API failure at line 311: 0x8876086c"},
                         {ShellCall::kLockTexture, "Windows API failure at line 312: 0x8876086c"}});
    // A capture whose read fails still leaves the scene open.
    ASSERT_EQ(d.device->BeginScene(), D3D_OK);
    ExpectEachCallFails(d.device, [&] { CaptureCleanFrame(d.device); },
                        {{ShellCall::kGetBackBuffer, "Windows API failure at line 96: 0x8876086c"}});
    EXPECT_EQ(d.device->EndScene(), D3D_OK);

    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    const bool multisampled = SUCCEEDED(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE,
                                                                       D3DMULTISAMPLE_4_SAMPLES, nullptr));
    d3d->Release();
    if (!multisampled) GTEST_SKIP() << "no 4x multisampling: the resolve's calls 103 and 104 are not tried";
    Device ms(64, 48, D3DMULTISAMPLE_4_SAMPLES);
    ASSERT_EQ(ms.hr, D3D_OK);
    ExpectEachCallFails(ms.device, [&] { ReadBackBuffer(ms.device); },
                        {{ShellCall::kCreateRenderTarget, "Windows API failure at line 103: 0x8876086c"},
                         {ShellCall::kStretchRect, "Windows API failure at line 104: 0x8876086c"}});
}

TEST(ShellFaults, EachCallOfTheProbeFailsWithItsTextAndLeavesNoWindow) {
    const ShellCase cases[] = {
        {ShellCall::kProbeWindow, "cannot create probe window"},
        {ShellCall::kDirect3DCreate9, "Windows API failure at line 377: 0x80004005"},
        {ShellCall::kCreateDevice, "Windows API failure at line 377: 0x8876086c"},
    };
    for (const ShellCase& c : cases) {
        {
            ArmedFault fault(c.call);
            EXPECT_EQ(FailureText([] { InstallGraphicsHooks(); }), c.text);
        }
        EXPECT_EQ(FindWindowW(L"STATIC", L"HM_Plugin graphics probe"), nullptr) << c.text;
        EXPECT_FALSE(ReadGraphicsCounters().hooks_installed) << c.text;
    }
}

// ---- With the hooks installed (they stay for the rest of the process) --------------------------

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::wstring CurrentNotice() {
    std::lock_guard<std::mutex> g(PluginShared().lock);
    return PluginShared().notices.current;
}

TEST(Hooks, PresentRunsTheFrameWorkOnThisProcessesDevice) {
    void* setCursorPos = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetCursorPos"));
    ASSERT_NE(setCursorPos, nullptr);
    ASSERT_NO_THROW(InstallGraphicsHooks());
    GraphicsCounters c = ReadGraphicsCounters();
    EXPECT_TRUE(c.hooks_installed);
    EXPECT_FALSE(c.clean_frame_hook) << "this executable is not the game";
    // The cursor hooks come with the device hooks, before any frame: the render thread never
    // creates a hook (that suspends every thread of the game).
    EXPECT_TRUE(c.cursor_hooks);
    EXPECT_EQ(*static_cast<const unsigned char*>(setCursorPos), 0xE9) << "SetCursorPos is not detoured yet";

    Device d(320, 240, D3DMULTISAMPLE_NONE, true);
    ASSERT_EQ(d.hr, D3D_OK);
    SetForegroundWindow(d.window);
    auto frame = [&] {
        d.device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00204060, 1.0f, 0);
        return d.device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    ASSERT_EQ(frame(), D3D_OK);
    EXPECT_EQ(ReadGraphicsCounters().presents, c.presents + 1);
    EXPECT_NE(Plugin().last_frame_tick.load(), 0u);

    // A photo request that no clean frame can serve here ends in the time-out notice, once.
    ArmPhotoRequest(PluginPhotoRequest(), 3, GetTickCount64() - 1);
    ASSERT_EQ(frame(), D3D_OK);
    EXPECT_EQ(PluginPhotoRequest().request.load(), 0);
    EXPECT_EQ(CurrentNotice(), kPhotoTimeoutNotice);
    {
        std::lock_guard<std::mutex> g(PluginShared().lock);
        PluginShared().notices = NoticeState{};
    }
    ASSERT_EQ(frame(), D3D_OK);
    EXPECT_EQ(CurrentNotice(), L"");

    // A frame whose overlay the device cannot take: the work fails, the notice comes, Present runs.
    HWND ui = CreateWindowExW(0, L"STATIC", L"ui", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(ui));
    PublishOverlayFrame(PluginOverlay(), std::make_shared<Pixels>(65536, 1), PublishRule::kAlways);
    const std::uint64_t failures = ReadGraphicsCounters().frame_failures;
    EXPECT_EQ(frame(), D3D_OK);
    EXPECT_EQ(frame(), D3D_OK);
    EXPECT_EQ(ReadGraphicsCounters().frame_failures, failures + 2);
    EXPECT_EQ(CurrentNotice(), kFrameFailureNotice);
    PluginInput().ui_window.store(0);
    PublishEmptyOverlayFrame(PluginOverlay());
    EXPECT_EQ(frame(), D3D_OK);
    EXPECT_EQ(ReadGraphicsCounters().frame_failures, failures + 2);
    DestroyWindow(ui);
}

// One frame without the UI on a device that is about to go, so the closing rule gives its window
// back while it still exists; the UI window is then shown again.
void CloseUiOn(IDirect3DDevice9* device, HWND ui) {
    PluginInput().ui_window.store(0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(ui));
}

TEST(Hooks, AnOverlayIsRebuiltForANewDeviceAndAnUnreadableBufferFailsEachFrame) {
    HWND ui = CreateWindowExW(0, L"STATIC", L"ui", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(ui));
    auto solid = std::make_shared<Pixels>(810, 760);
    PublishOverlayFrame(PluginOverlay(), solid, PublishRule::kAlways);
    const std::uint64_t uploads = ReadGraphicsCounters().overlay_uploads;
    {
        Device a(200, 150);
        ASSERT_EQ(a.hr, D3D_OK);
        a.device->Present(nullptr, nullptr, nullptr, nullptr);
        a.device->Present(nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(ReadGraphicsCounters().overlay_uploads, uploads + 1);
        CloseUiOn(a.device, ui);
    }
    {
        Device b(200, 150);  // a recreated device: the texture is made anew, the version unchanged
        ASSERT_EQ(b.hr, D3D_OK);
        b.device->Present(nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(ReadGraphicsCounters().overlay_uploads, uploads + 2);
        CloseUiOn(b.device, ui);
    }

    Device wide(4097, 4);
    if (wide.hr == D3D_OK) {
        {
            std::lock_guard<std::mutex> g(PluginShared().lock);
            PluginShared().notices = NoticeState{};
        }
        PluginOverlay().screen_region_request.store(1);
        const std::uint64_t failures = ReadGraphicsCounters().frame_failures;
        EXPECT_EQ(wide.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);  // sees the request
        Sleep(200);
        EXPECT_EQ(wide.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(wide.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(ReadGraphicsCounters().frame_failures, failures + 2) << "each frame fails while the request waits";
        EXPECT_EQ(CurrentNotice(), kFrameFailureNotice);
        PluginOverlay().screen_region_request.store(0);
        CloseUiOn(wide.device, ui);
    }
    PluginInput().ui_window.store(0);
    PublishEmptyOverlayFrame(PluginOverlay());
    DestroyWindow(ui);
    if (wide.hr != D3D_OK) GTEST_SKIP() << "no 4097-pixel back buffer here";
}

// Game states a failed drawing step must leave as they were.
struct GameStates {
    DWORD z, cull, blend, src;
};
GameStates SetGameStates(IDirect3DDevice9* d) {
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    return {D3DZB_TRUE, D3DCULL_CW, FALSE, D3DBLEND_ONE};
}
void ExpectGameStates(IDirect3DDevice9* d, const GameStates& want, const char* what) {
    GameStates now{};
    d->GetRenderState(D3DRS_ZENABLE, &now.z);
    d->GetRenderState(D3DRS_CULLMODE, &now.cull);
    d->GetRenderState(D3DRS_ALPHABLENDENABLE, &now.blend);
    d->GetRenderState(D3DRS_SRCBLEND, &now.src);
    EXPECT_EQ(now.z, want.z) << what;
    EXPECT_EQ(now.cull, want.cull) << what;
    EXPECT_EQ(now.blend, want.blend) << what;
    EXPECT_EQ(now.src, want.src) << what;
}

void ThrowingPhotoDraw(IDirect3DDevice9* d) {
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    throw std::runtime_error("photo draw failed");
}

// A lost device takes no upload and no draw until the game has it back; Present still runs.
TEST(Hooks, ALostDeviceGetsNoUploadUntilItIsBack) {
    HWND ui = CreateWindowExW(0, L"STATIC", L"ui", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(ui));
    PublishOverlayFrame(PluginOverlay(), std::make_shared<Pixels>(810, 760), PublishRule::kAlways);
    {
        Device d(200, 150);
        ASSERT_EQ(d.hr, D3D_OK);
        const GraphicsCounters before = ReadGraphicsCounters();
        {
            ArmedFault lost(ShellCall::kTestCooperativeLevel, D3DERR_DEVICELOST);
            EXPECT_EQ(d.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
            EXPECT_EQ(d.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
            const GraphicsCounters lostFrames = ReadGraphicsCounters();
            EXPECT_EQ(lostFrames.presents, before.presents + 2);
            EXPECT_EQ(lostFrames.overlay_uploads, before.overlay_uploads) << "uploaded to a lost device";
            EXPECT_EQ(lostFrames.frame_failures, before.frame_failures);
        }
        EXPECT_EQ(d.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(ReadGraphicsCounters().overlay_uploads, before.overlay_uploads + 1) << "back: the overlay comes";
        CloseUiOn(d.device, ui);
    }
    PluginInput().ui_window.store(0);
    PublishEmptyOverlayFrame(PluginOverlay());
    DestroyWindow(ui);
}

TEST(Hooks, AFailedDrawingStepLeavesTheGamesStatesAndTheLaterStepsStillRun) {
    Device d(200, 150, D3DMULTISAMPLE_NONE, true);
    ASSERT_EQ(d.hr, D3D_OK);
    HWND ui = CreateWindowExW(0, L"STATIC", L"ui", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(ui));
    PublishOverlayFrame(PluginOverlay(), std::make_shared<Pixels>(810, 760), PublishRule::kAlways);
    d.device->Present(nullptr, nullptr, nullptr, nullptr);  // the overlay texture is made once

    struct Case {
        const char* what;
        ShellCall fault;
        void (*photo)(IDirect3DDevice9*);
        bool overlay_drawn;
    } cases[] = {
        {"a step that throws inside the scene", ShellCall::kNone, &ThrowingPhotoDraw, true},
        {"no state block", ShellCall::kCreateStateBlock, nullptr, false},
    };
    for (const Case& c : cases) {
        {
            std::lock_guard<std::mutex> g(PluginShared().lock);
            PluginShared().notices = NoticeState{};
        }
        d.device->Present(nullptr, nullptr, nullptr, nullptr);  // the last case's banner goes
        const ULONG refs = RefCount(d.device);
        const GameStates game = SetGameStates(d.device);
        PluginFrameSteps().draw_shown_photo = c.photo;
        PluginInput().scale.store(0);
        const std::uint64_t failures = ReadGraphicsCounters().frame_failures;
        {
            ArmedFault fault(c.fault);
            EXPECT_EQ(d.device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK) << c.what;
        }
        PluginFrameSteps().draw_shown_photo = nullptr;
        EXPECT_EQ(ReadGraphicsCounters().frame_failures, failures + 1) << c.what;
        EXPECT_EQ(CurrentNotice(), kFrameFailureNotice) << c.what;
        ExpectGameStates(d.device, game, c.what);
        EXPECT_EQ(RefCount(d.device), refs) << c.what;
        EXPECT_EQ(PluginInput().scale.load() != 0, c.overlay_drawn) << c.what << ": the overlay after it";
    }
    CloseUiOn(d.device, ui);
    PluginInput().ui_window.store(0);
    PublishEmptyOverlayFrame(PluginOverlay());
    d.device->Present(nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(ui);
}

TEST(Hooks, OnlyTheDeviceOfTheGamesWindowIsServed) {
    Device game(160, 120, D3DMULTISAMPLE_NONE, true);
    ASSERT_EQ(game.hr, D3D_OK);
    GraphicsCounters c = ReadGraphicsCounters();
    game.device->Present(nullptr, nullptr, nullptr, nullptr);  // the first device to present is the game's
    EXPECT_EQ(ReadGraphicsCounters().presents, c.presents + 1);

    Device other(160, 120);  // another overlay's device on a window of its own
    ASSERT_EQ(other.hr, D3D_OK);
    HWND ui = CreateWindowExW(0, L"STATIC", L"ui", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(ui));
    PublishOverlayFrame(PluginOverlay(), std::make_shared<Pixels>(810, 760), PublishRule::kAlways);
    const GameStates states = SetGameStates(other.device);
    const ULONG refs = RefCount(other.device);
    c = ReadGraphicsCounters();
    for (int i = 0; i < 3; ++i) other.device->Present(nullptr, nullptr, nullptr, nullptr);
    GraphicsCounters after = ReadGraphicsCounters();
    EXPECT_EQ(after.presents, c.presents);
    EXPECT_EQ(after.foreign_presents, c.foreign_presents + 3);
    EXPECT_EQ(after.overlay_uploads, c.overlay_uploads) << "an overlay made for a foreign device";
    EXPECT_EQ(RefCount(other.device), refs);
    ExpectGameStates(other.device, states, "the foreign device");

    // The game's frames go on, with one upload while the other device keeps presenting.
    for (int i = 0; i < 2; ++i) {
        game.device->Present(nullptr, nullptr, nullptr, nullptr);
        other.device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    after = ReadGraphicsCounters();
    EXPECT_EQ(after.presents, c.presents + 2);
    EXPECT_EQ(after.overlay_uploads, c.overlay_uploads + 1);
    CloseUiOn(game.device, ui);
    PluginInput().ui_window.store(0);
    PublishEmptyOverlayFrame(PluginOverlay());
    game.device->Present(nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(ui);
}

LRESULT CALLBACK SomeoneElsesProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

TEST(Hooks, ClosingTheUiGivesTheWindowBackOnlyIfItIsStillOurs) {
    for (bool replacedAfterUs : {false, true}) {
        Device d(120, 90, D3DMULTISAMPLE_NONE, true);
        ASSERT_EQ(d.hr, D3D_OK);
        const LONG original = GetWindowLongW(d.window, GWL_WNDPROC);
        HWND ui = CreateWindowExW(0, L"STATIC", L"ui", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
        PluginInput().ui_window.store(reinterpret_cast<std::uintptr_t>(ui));
        d.device->Present(nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(GetWindowLongW(d.window, GWL_WNDPROC), LONG(reinterpret_cast<LONG_PTR>(&GameWindowProc)))
            << "subclassed while the UI is open";
        const LONG other = LONG(reinterpret_cast<LONG_PTR>(&SomeoneElsesProc));
        if (replacedAfterUs) SetWindowLongW(d.window, GWL_WNDPROC, other);
        PluginInput().ui_window.store(0);
        d.device->Present(nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(GetWindowLongW(d.window, GWL_WNDPROC), replacedAfterUs ? other : original)
            << (replacedAfterUs ? "someone else's procedure stays" : "the game's own procedure is back");
        EXPECT_FALSE(IsGameMessageHookInstalled());
        if (replacedAfterUs) {
            // Let the input side forget its saved procedure before the device goes.
            SetWindowLongW(d.window, GWL_WNDPROC, LONG(reinterpret_cast<LONG_PTR>(&GameWindowProc)));
            RestoreGameWindow();
        }
        DestroyWindow(ui);
    }
}

TEST(Hooks, PairingCommandGoesThroughSampOnlyWhenChatIsFreeAndAtMostEvery3s) {
    wchar_t self[MAX_PATH];
    std::wstring dir(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    dir.resize(dir.find_last_of(L'\\') + 1);
    HMODULE samp = LoadLibraryW((dir + L"samp.dll").c_str());
    ASSERT_NE(samp, nullptr);
    auto lineCount = Export<int (*)()>(samp, "FakeSampLineCount");
    auto line = Export<const char* (*)(int)>(samp, "FakeSampLine");
    auto setChatOpen = Export<void (*)(int)>(samp, "FakeSampSetChatOpen");
    ASSERT_TRUE(lineCount && line && setChatOpen);

    Device d(64, 64, D3DMULTISAMPLE_NONE, true);
    ASSERT_EQ(d.hr, D3D_OK);
    SetForegroundWindow(d.window);
    if (GetForegroundWindow() != d.window) GTEST_SKIP() << "no foreground window in this Wine session";
    auto frame = [&] { return d.device->Present(nullptr, nullptr, nullptr, nullptr); };
    {
        std::lock_guard<std::mutex> g(PluginShared().lock);
        PluginShared().bind_code = "5f3a9c";
    }
    const int before = lineCount();
    Plugin().consent_given = true;
    frame();
    EXPECT_EQ(lineCount(), before) << "not connected yet";
    Plugin().connected = true;
    setChatOpen(1);
    frame();
    EXPECT_EQ(lineCount(), before) << "chat input open";
    setChatOpen(0);
    ASSERT_TRUE(IsChatFree());
    ASSERT_TRUE(IsGameInFront());
    const Tick sent = GetTickCount64();
    frame();
    ASSERT_EQ(lineCount(), before + 1);
    EXPECT_STREQ(line(before), "/hmpluginbind 5f3a9c");
    frame();
    frame();
    if (GetTickCount64() - sent < 2900) {
        EXPECT_EQ(lineCount(), before + 1) << "again within 3 s";
    }
    Sleep(3100);
    frame();
    EXPECT_EQ(lineCount(), before + 2);
    Plugin().connected = false;
    Plugin().consent_given = false;
}

}  // namespace
}  // namespace hm
