// The portable decisions the texture and draw detours take on every call, without Direct3D.
#include <benchmark/benchmark.h>

#include "game/drawing_class.h"
#include "game/world_surfaces.h"

namespace hm {
namespace {

// An ordinary game texture: nothing to substitute, the game draws (the common case).
void BM_OrdinaryTextureAndDraw(benchmark::State& st) {
    int texture = 0;
    for (auto _ : st) {
        int* bound = ChooseStageZeroTexture<int>(
            0, [&](int) { return &texture; }, [&](int) { return &texture; }, [&](int) { return &texture; });
        benchmark::DoNotOptimize(bound);
        benchmark::DoNotOptimize(DecideDraw(0, DrawingClass));
        benchmark::DoNotOptimize(TvGuardMayApply(TvGuardFacts{}));
    }
}
BENCHMARK(BM_OrdinaryTextureAndDraw);

// A mesh surface: the decision and the built mesh.
void BM_MeshDecision(benchmark::State& st) {
    for (auto _ : st) {
        const DrawDecision d = DecideDraw(65536, 0);
        benchmark::DoNotOptimize(MeshOfId(d.mesh_id).data());
    }
}
BENCHMARK(BM_MeshDecision);

}  // namespace
}  // namespace hm

