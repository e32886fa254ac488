// The worker's own share of an idle pass (the subsystem steps excluded): hotkey edges, the
// step guards and the TV timer test. 33 passes a second must stay far below 0.5 % of a core.
#include <benchmark/benchmark.h>

#include "core/identity.h"
#include "core/worker_loop.h"

namespace hm {
namespace {

void BM_WorkerPassIdle(benchmark::State& state) {
    WorkerContext ctx;
    ctx.config.television = true;
    HotkeyKeys keys;
    keys.game_in_foreground = true;
    Tick now = 1000;
    for (auto _ : state) {
        keys.ctrl = (now & 64) != 0;
        WorkerPass(ctx, now += 30, keys);
        benchmark::DoNotOptimize(ctx.hotkeys);
    }
}
BENCHMARK(BM_WorkerPassIdle);

void BM_PlayerIdentityFromCommandLine(benchmark::State& state) {
    const std::vector<std::wstring> args{L"-c", L"-h", L"play.hollowmarsh-rp.cz", L"-p", L"7777", L"-n", L"Karel_Novak"};
    for (auto _ : state) {
        benchmark::DoNotOptimize(IsCommunityServerCommandLine(args, CommunityServerAddress()));
        benchmark::DoNotOptimize(ResolvePlayerIdentity(args, 27017, L"", L""));
    }
}
BENCHMARK(BM_PlayerIdentityFromCommandLine);

}  // namespace
}  // namespace hm
