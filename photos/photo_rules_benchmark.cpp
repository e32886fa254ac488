// The render thread's share of the shown photo and the worker's SharedStateLock holds of the
// photo path: what a frame costs with a photo shown and unchanged (a try-lock and a version
// compare, no copy, no allocation), and how long TakePhotoFrame holds the lock (a pointer move).
#include <benchmark/benchmark.h>

#include "photos/photo_rules.h"

namespace hm {
namespace {

void BM_ShownPhotoUnchangedFrame(benchmark::State& st) {
    SharedState shared;
    shared.shown_photo = MakePixels(1280, 720);
    shared.shown_photo_version = 1;
    ShownPhotoSync sync;
    PixelsRef picture;
    sync.Refresh(shared, picture);  // the upload frame
    for (auto _ : st) benchmark::DoNotOptimize(sync.Refresh(shared, picture));
}
BENCHMARK(BM_ShownPhotoUnchangedFrame);

void BM_TakePhotoFrameWithAShot(benchmark::State& st) {
    SharedState shared;
    const PixelsRef frame = MakePixels(1920, 1080);
    for (auto _ : st) {
        {
            std::lock_guard<std::mutex> hold(shared.lock);
            shared.photo_frame = frame;
            shared.photo_frame_request = 7;
        }
        benchmark::DoNotOptimize(TakePhotoFrame(shared));
    }
}
BENCHMARK(BM_TakePhotoFrameWithAShot);

}  // namespace
}  // namespace hm
