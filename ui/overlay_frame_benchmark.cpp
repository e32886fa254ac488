// UI thread: publishing an 810 x 760 frame that did not change (comparison only) and one that
// did (comparison to the last byte, then the swap). Render thread: the per-frame reads.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <mutex>

#include "ui/masks.h"
#include "ui/banner_text.h"
#include "base/overlay_frame.h"

namespace hm {
namespace {

std::shared_ptr<Pixels> Canvas(std::uint8_t fill) {
    auto p = std::make_shared<Pixels>(kCanvasWidth, kCanvasHeight);
    std::fill(p->data(), p->data() + p->size_bytes(), fill);
    return p;
}

void BM_PublishUnchangedFrame(benchmark::State& st) {
    OverlayState s;
    PublishOverlayFrame(s, Canvas(0x5A));
    const FrameRef same = Canvas(0x5A);
    for (auto _ : st) benchmark::DoNotOptimize(PublishOverlayFrame(s, same));
    if (s.version.load() != 1) st.SkipWithError("an unchanged frame was published");
    st.SetBytesProcessed(std::int64_t(st.iterations()) * std::int64_t(same->size_bytes()));
}
BENCHMARK(BM_PublishUnchangedFrame);

void BM_PublishChangedFrame(benchmark::State& st) {
    OverlayState s;
    auto a = Canvas(0x5A), b = Canvas(0x5A);
    b->data()[b->size_bytes() - 1] ^= 1;  // differs only in the last byte: the worst comparison
    const FrameRef frames[2] = {a, b};
    int i = 0;
    for (auto _ : st) benchmark::DoNotOptimize(PublishOverlayFrame(s, frames[i++ & 1]));
    if (s.version.load() != int(st.iterations())) st.SkipWithError("a changed frame was not published");
}
BENCHMARK(BM_PublishChangedFrame);

void BM_RenderThreadFrameCheckNothingNew(benchmark::State& st) {
    OverlayState s;
    PublishOverlayFrame(s, Canvas(1));
    FrameRef mine;
    int seen = 0;
    TakeOverlayFrame(s, seen, mine, seen);
    for (auto _ : st) benchmark::DoNotOptimize(TakeOverlayFrame(s, seen, mine, seen));
}
BENCHMARK(BM_RenderThreadFrameCheckNothingNew);

void BM_ApplyMaskApp34Full(benchmark::State& st) {
    auto f = Canvas(0x40);
    const TransparencyMask m = MaskFor(MaskScreen::kApp34Full);
    for (auto _ : st) {
        ApplyMask(*f, m, 300, 300);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ApplyMaskApp34Full);

void BM_BannerTextPerFrameUnchanged(benchmark::State& st) {
    std::mutex lock;
    NoticeState s;
    PostNotice(s, 0, L"HM Plugin: spojeni je docasne nedostupne, obnovuji automaticky.", false);
    BannerTextReader r;
    UpdateBannerText(r, lock, s, 1, {});
    r.shown = r.text;
    for (auto _ : st) benchmark::DoNotOptimize(UpdateBannerText(r, lock, s, 2, {}));
}
BENCHMARK(BM_BannerTextPerFrameUnchanged);

}  // namespace
}  // namespace hm
