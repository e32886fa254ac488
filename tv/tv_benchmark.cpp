// The television's hot paths: the 2 MB frame copy of an upload, the TV state answer and the
// title and navigation decisions the helper makes per event.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "tv/browser_rules.h"
#include "tv/frame_block.h"
#include "tv/tv_rules.h"

namespace {

void BM_FrameUpload2MB(benchmark::State& state) {
    std::vector<std::uint8_t> frame(hm::kTvFrameBytes, 0x5a);
    const std::size_t pitch = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> level(pitch * hm::kTvFrameHeight);
    for (auto _ : state) {
        hm::CopyTvFrame(frame.data(), level.data(), pitch);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(hm::kTvFrameBytes));
}
BENCHMARK(BM_FrameUpload2MB)->Arg(3840)->Arg(4096);

// A paused page: the counter stands still, so a frame step costs a comparison; one frame in
// `range` moves it and pays a copy. Uploads are counted against counter moves.
void BM_StillCounterFrames(benchmark::State& state) {
    std::vector<std::uint8_t> frame(hm::kTvFrameBytes, 0x5a), level(hm::kTvFrameBytes);
    std::uint32_t counter = 0, last = 0;
    std::int64_t frames = 0, uploads = 0, moves = 0;
    for (auto _ : state) {
        if (++frames % state.range(0) == 0) {
            ++counter;
            ++moves;
        }
        if (counter != last) {
            hm::CopyTvFrame(frame.data(), level.data(), hm::kTvFrameRowBytes);
            last = counter;
            ++uploads;
        }
        benchmark::ClobberMemory();
    }
    if (uploads != moves) state.SkipWithError("uploads differ from counter moves");
    state.counters["uploads"] = static_cast<double>(uploads);
    state.counters["moves"] = static_cast<double>(moves);
}
BENCHMARK(BM_StillCounterFrames)->Arg(1)->Arg(30)->Arg(1000000000);

void BM_ParseTvState(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(hm::ParseTvState(200, "TV 30001\n"));
}
BENCHMARK(BM_ParseTvState);

void BM_TitleAndNavigation(benchmark::State& state) {
    const std::u16string allowed = u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player";
    for (auto _ : state) {
        benchmark::DoNotOptimize(hm::PageStatusOfTitle(u"HMMedia:error:404"));
        benchmark::DoNotOptimize(hm::NavigationAllowed(u"https://h.cz/HM/MEDIA-PLUGIN/api/tv/player#x", allowed, true));
    }
}
BENCHMARK(BM_TitleAndNavigation);

}  // namespace
