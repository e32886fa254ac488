// The gallery's worker-side costs: a full list parsed, a 1280 x 720 picture shrunk to 512 x 288.
#include <benchmark/benchmark.h>

#include "photos/gallery.h"

namespace hm {
namespace {

void BM_ParseFullPictureList(benchmark::State& st) {
    std::string body = "PICTURES\n";
    for (int i = 1; i <= kGalleryMaxEntries; ++i) body += std::to_string(16000 + i) + " " + std::to_string(2000000 + i) + "\n";
    for (auto _ : st) benchmark::DoNotOptimize(ParsePictureList(body));
}
BENCHMARK(BM_ParseFullPictureList);

void BM_ScaleLargestPicture(benchmark::State& st) {
    const PixelsRef picture = MakePixels(1280, 720);
    for (auto _ : st) benchmark::DoNotOptimize(ScaleGalleryPicture(picture));
}
BENCHMARK(BM_ScaleLargestPicture)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace hm

