// Figures of the marked world surfaces on a real device, printed (no Google Benchmark for 32-bit
// Windows here): the stage-0 SetTexture work per call (a cache hit, a first look that the level
// description rejects, a first read of a marker), the draw detours' guard while no TV plays, and a
// mesh drawn in the game's place with its state block.
//   wine world_surfaces_bench_win.exe
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/owners_win.h"
#include "game/frame_steps_win.h"
#include "game/test_device_win_test_util.h"
#include "game/world_surfaces_win.h"
#include "tv/lettering_win.h"
#include "tv/tv_picture_win.h"

namespace {

using namespace hm;

double Now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) / double(f.QuadPart);
}

template <class F>
double NanosecondsPerCall(int calls, F&& f) {
    const double t0 = Now();
    for (int i = 0; i < calls; ++i) f(i);
    return (Now() - t0) * 1e9 / calls;
}

ComPtr<IDirect3DTexture9> Solid(IDirect3DDevice9* d, UINT size, std::uint32_t argb) {
    ComPtr<IDirect3DTexture9> t;
    if (FAILED(d->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.put(), nullptr))) return t;
    D3DLOCKED_RECT r{};
    t->LockRect(0, &r, nullptr, 0);
    for (UINT y = 0; y < size; ++y)
        for (UINT x = 0; x < size; ++x) std::memcpy(static_cast<std::uint8_t*>(r.pBits) + y * UINT(r.Pitch) + x * 4, &argb, 4);
    t->UnlockRect(0);
    return t;
}

}  // namespace

int main() {
    TestDevice d(640, 480);
    if (!d.device) {
        std::printf("no device: 0x%08lx\n", (unsigned long)d.hr);
        return 1;
    }
    FrameSteps& steps = PluginFrameSteps();
    steps.screen_texture_id = &ScreenTextureId;
    steps.lettering_texture = &LetteringTexture;
    steps.television_texture = &TelevisionTextureFor;
    steps.television_guard_facts = &TelevisionGuardFacts;
    IDirect3DDevice9* dev = d.device;

    // 100 game textures seen this frame, then one more looked up again and again.
    std::vector<ComPtr<IDirect3DTexture9>> seen;
    for (int i = 0; i < 100; ++i) seen.push_back(Solid(dev, 32, 0xFF000000u | std::uint32_t(i)));
    ComPtr<IDirect3DTexture9> marker = Solid(dev, 32, 0xFF090909);  // picture 1057
    ComPtr<IDirect3DTexture9> large = Solid(dev, 64, 0xFF090909);   // 64 x 64: rejected
    RunTelevisionFrameStep(dev);
    for (auto& t : seen) StageZeroTexture(dev, t.get());
    StageZeroTexture(dev, marker.get());
    const double hit = NanosecondsPerCall(20000, [&](int) { StageZeroTexture(dev, marker.get()); });

    const int frames = 300;
    const double frame_step = NanosecondsPerCall(frames, [&](int) { RunTelevisionFrameStep(dev); });
    const double rejected = NanosecondsPerCall(frames, [&](int) {
        RunTelevisionFrameStep(dev);
        StageZeroTexture(dev, large.get());
    }) - frame_step;
    const double first_read = NanosecondsPerCall(frames, [&](int) {
        RunTelevisionFrameStep(dev);
        StageZeroTexture(dev, marker.get());
    }) - frame_step;

    // The draw detours' guard with no TV: one atomic load.
    const double guard = NanosecondsPerCall(200000, [&](int) { TvRenderStateGuard g(dev); });

    // A mesh in the game's place: state block, states, the draw, the block applied.
    const auto draw = reinterpret_cast<DrawPrimitiveUPFn>((*reinterpret_cast<void***>(dev))[83]);
    dev->BeginScene();
    SetBoundSurface(65536, nullptr);
    const double mesh = NanosecondsPerCall(200, [&](int) {
        SetBoundSurface(65536, nullptr);
        ReplaceDraw(dev, draw);
    });
    dev->EndScene();
    SetBoundSurface(0, nullptr);

    std::printf("SetTexture stage 0, cache hit (101 textures this frame): %.0f ns\n", hit);
    std::printf("SetTexture stage 0, first look rejected by its level (64 x 64): %.0f ns\n", rejected);
    std::printf("SetTexture stage 0, first read of a 32 x 32 marker: %.0f ns\n", first_read);
    std::printf("draw detour guard, no TV: %.1f ns\n", guard);
    std::printf("replaced mesh draw (65536, %u vertices) with its state block: %.0f ns\n",
                unsigned(MeshOfId(65536).size()), mesh);
    return 0;
}
