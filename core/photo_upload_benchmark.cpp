// The photo hooks' share of an idle state pass (no rising shot, a shown photo whose keep-alive
// is not due, an empty PhotoFrame slot): what every 350 ms poll costs the worker.
#include <benchmark/benchmark.h>

#include "core/photo_upload.h"

namespace hm {
namespace {

void BM_PhotoIdlePass(benchmark::State& st) {
    PluginRecord plugin;
    plugin.connected.store(true);
    plugin.photo_visible.store(true);
    SharedState shared;
    PhotoRequestState request;
    PhotoRecord record;
    PhotoEffects fx;
    fx.request = [](const ApiClient&, const std::string&, const std::string&, const std::string&, const std::string&,
                    std::uint32_t) { return ApiResponse{200, "x"}; };
    fx.decode = [](const std::string&) { return MakePixels(1, 1); };
    fx.plugin = &plugin;
    fx.shared = &shared;
    fx.photo_request = &request;
    const std::string token(64, 'a');
    StateSnapshot state{5, 12, 3};
    Tick now = 1000;
    PhotoState(record, now, state, token, fx);  // the fetch; later passes are keep-alives
    for (auto _ : st) {
        PhotoState(record, now + 1000, state, token, fx);  // keep-alive not due yet
        PhotoUpload(record, now + 1000, token, fx);
    }
}
BENCHMARK(BM_PhotoIdlePass);

}  // namespace
}  // namespace hm
