// Figures of the marked world surfaces on a real device, printed (no Google Benchmark for 32-bit
// Windows here): the stage-0 SetTexture work per call (a cache hit, a first look that the level
// description rejects, a first read of a marker), the draw detours' guard while no TV plays, and a
// mesh drawn in the game's place with its state block; and whole frames of a game-like scene
// without the plugin, with its marked-surface work but no marker in sight, and with markers
// substituted (a picture, a hidden surface, a lettering, two meshes), as ratios.
//   wine world_surfaces_bench_win.exe
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/owners_win.h"
#include "game/frame_steps_win.h"
#include "game/test_device_win_test_util.h"
#include "game/world_surfaces_win.h"
#include "photos/gallery.h"
#include "photos/gallery_textures_win.h"
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

struct ScreenVertex {
    float x, y, z, rhw;
    float u, v;
};

// One frame: `draws` textured quads over the game's textures, then one quad per marker, Present.
// With `plugin` every stage-0 SetTexture and every draw goes through what the detours do, after
// the frame steps (TV frame, world textures) that Present runs.
void Frame(IDirect3DDevice9* dev, const std::vector<ComPtr<IDirect3DTexture9>>& textures,
           const std::vector<IDirect3DTexture9*>& markers, int draws, bool plugin) {
    const auto draw_up = reinterpret_cast<DrawPrimitiveUPFn>((*reinterpret_cast<void***>(dev))[83]);
    if (plugin) {
        RunTelevisionFrameStep(dev);
        RunWorldTextureStep(dev);
    }
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF5A8CC8, 1.0f, 0);
    dev->BeginScene();
    dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    const auto quad = [&](IDirect3DBaseTexture9* t, int i) {
        dev->SetTexture(0, plugin ? StageZeroTexture(dev, t) : t);
        const float x = float(i % 20) * 32, y = float(i / 20 % 15) * 32;
        const ScreenVertex v[4] = {{x, y, 0.5f, 1, 0, 0}, {x + 32, y, 0.5f, 1, 1, 0}, {x, y + 32, 0.5f, 1, 0, 1},
                                   {x + 32, y + 32, 0.5f, 1, 1, 1}};
        if (plugin) {
            if (ReplaceDraw(dev, draw_up)) return;
            TvRenderStateGuard guard(dev);
            draw_up(dev, D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
        } else {
            draw_up(dev, D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
        }
    };
    for (int i = 0; i < draws; ++i) quad(textures[std::size_t(i) % textures.size()].get(), i);
    for (std::size_t i = 0; i < markers.size(); ++i) quad(markers[i], draws + int(i));
    dev->EndScene();
    dev->Present(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
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
    const double mesh = NanosecondsPerCall(50, [&](int) {
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

    // Whole frames: 200 draws over 100 game textures (half 32 x 32 and read once a frame, half
    // 128 x 128 and turned away by their size), plus five markers or five more game textures.
    std::vector<ComPtr<IDirect3DTexture9>> game;
    for (int i = 0; i < 100; ++i) game.push_back(Solid(dev, i % 2 ? 128 : 32, 0xFF404040u + std::uint32_t(i)));
    ComPtr<IDirect3DTexture9> lettering = Solid(dev, 32, 0xFFA82531);  // 65538
    ComPtr<IDirect3DTexture9> hidden = Solid(dev, 32, 0xFFA82530);     // 65537
    ComPtr<IDirect3DTexture9> long_mesh = Solid(dev, 32, 0xFFA8252F);  // 65536
    ComPtr<IDirect3DTexture9> fogless = Solid(dev, 32, 0xFFA82534);    // 65541
    steps.gallery_texture = [](IDirect3DDevice9* device, int id) { return GalleryTextureFor(device, id); };
    {
        Gallery& gallery = PluginGallery();
        std::lock_guard<std::mutex> hold(gallery.lock);
        PixelsRef picture = MakePixels(512, 288);
        for (std::uint32_t y = 0; y < 288; ++y)
            for (std::uint32_t x = 0; x < 512; ++x) picture->set(x, y, 0xFF000000u | (x << 8) | y);
        gallery.cache[1057] = {1, picture};
        gallery.deadline = GetTickCount64() + 3600 * 1000;
    }
    const std::vector<IDirect3DTexture9*> markers = {marker.get(), hidden.get(), lettering.get(), long_mesh.get(),
                                                     fogless.get()};
    std::vector<IDirect3DTexture9*> no_markers;
    for (int i = 0; i < 5; ++i) no_markers.push_back(game[std::size_t(i) * 2].get());
    constexpr int kDraws = 200, kFrames = 4, kRounds = 3;
    for (int i = 0; i < 2; ++i) Frame(dev, game, markers, kDraws, true);  // textures and meshes made
    const std::uint64_t made = GalleryTexturesMade();
    double bare = 0, idle = 0, substituted = 0;
    for (int round = 0; round < kRounds; ++round) {  // interleaved, so a busy moment hits all three alike
        bare += NanosecondsPerCall(kFrames, [&](int) { Frame(dev, game, no_markers, kDraws, false); });
        idle += NanosecondsPerCall(kFrames, [&](int) { Frame(dev, game, no_markers, kDraws, true); });
        substituted += NanosecondsPerCall(kFrames, [&](int) { Frame(dev, game, markers, kDraws, true); });
    }
    bare /= kRounds, idle /= kRounds, substituted /= kRounds;

    std::printf("frame of %d draws, no plugin: %.0f us\n", kDraws + 5, bare / 1000);
    std::printf("  with the marked-surface work, no marker: %.0f us (x%.3f)\n", idle / 1000, idle / bare);
    std::printf("  with 5 markers substituted: %.0f us (x%.3f; x%.3f vs no marker)\n", substituted / 1000,
                substituted / bare, substituted / idle);
    std::printf("  plugin work per frame: %.0f us idle, %.0f us with the markers\n", (idle - bare) / 1000,
                (substituted - bare) / 1000);
    std::printf("  gallery textures made over %d frames that changed nothing: %llu\n", kRounds * kFrames * 2,
                (unsigned long long)(GalleryTexturesMade() - made));
    return GalleryTexturesMade() == made ? 0 : 1;
}
