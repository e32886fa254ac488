// Worker cost of the release check: the idle pass (not due) and a due check with a parsed answer.
#include <benchmark/benchmark.h>

#include "update/updater.h"

namespace {

void IdleReleaseCheck(benchmark::State& state) {
    hm::ReleaseCheckRecord record;
    record.deadline = ~hm::Tick(0);
    hm::ReleaseCheckEffects fx;
    const hm::ApiClient client;
    for (auto _ : state) {
        hm::ReleaseCheck(record, client, 1000, fx);
        benchmark::DoNotOptimize(record);
    }
}
BENCHMARK(IdleReleaseCheck);

void DueReleaseCheckWithAnnouncedBuild(benchmark::State& state) {
    hm::ReleaseCheckRecord record;
    hm::ReleaseCheckEffects fx;
    fx.request = [](const hm::ApiClient&, const std::string&, const std::string&, const std::string&,
                    const std::string&, std::uint32_t) { return hm::ApiResponse{200, "HMPLUGIN\n17306\n1.01\n"}; };
    fx.auto_download = [] { return false; };
    record.last_announced = 17306;
    const hm::ApiClient client;
    hm::Tick now = 0;
    for (auto _ : state) {
        record.deadline = 0;
        hm::ReleaseCheck(record, client, ++now, fx);
    }
}
BENCHMARK(DueReleaseCheckWithAnnouncedBuild);

}  // namespace
