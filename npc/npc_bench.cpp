// NPC voices' hot paths: the manifest at its size limit, the cache's insert with eviction and the
// idle passes. (A 48 s clip turned into one playback block: voice_bench, ConvertLongestNpcClip.)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "npc/events.h"
#include "npc/manifest.h"
#include "npc/player.h"
#include "npc/npc_state.h"
#include "npc/test_hashes.h"

namespace hm {
namespace {

void ParseFullManifest(benchmark::State& s) {
    std::string body = "HMNPC1 18446744073709551615 8\n";
    for (int i = 1; i <= 8; ++i)
        body += std::to_string(18446744073709551000ull + unsigned(i)) + " 999 255 1500 768000 " + test::NpcHash(i) + "\n";
    body.resize(kNpcManifestLimit, ' ');
    for (auto _ : s) benchmark::DoNotOptimize(ParseNpcManifest(body));
    s.SetBytesProcessed(std::int64_t(s.iterations()) * std::int64_t(body.size()));
}
BENCHMARK(ParseFullManifest);

// Full cache (21 clips of 48 s); every insert evicts one.
void CacheInsertWithEviction(benchmark::State& s) {
    NpcAudioCache cache;
    const NpcClip clip = std::make_shared<const std::vector<std::uint8_t>>(kNpcClipMaxBytes, 0x55);
    int n = 0;
    for (; n < 21; ++n) cache.Insert(test::NpcHash(n), clip);
    for (auto _ : s) cache.Insert(test::NpcHash(n++), clip);
    s.counters["clips"] = double(cache.clips());
}
BENCHMARK(CacheInsertWithEviction);

// The idle passes without their sleeps: events without a token (every 200 ms), player with
// nothing queued (every 40 ms). Their CPU share is the time per pass over the period.
void EventsPassWithoutToken(benchmark::State& s) {
    NpcState state;
    NpcEventsRecord record;
    NpcEventsSeams seams;
    seams.get = [](const std::string&, const std::string&) { return ApiResponse{}; };
    seams.session = [] { return NpcSession{}; };
    seams.now = [] { return Tick(0); };
    seams.sleep = [](int) {};
    for (auto _ : s) NpcEventsPass(record, state, seams);
}
BENCHMARK(EventsPassWithoutToken);

void PlayerPassNothingQueued(benchmark::State& s) {
    NpcState state;
    NpcPlayerRecord record;
    NpcPlayerSeams seams;
    seams.generation = [] { return std::uint32_t(1); };
    seams.now = [] { return Tick(0); };
    seams.new_output = [] { return std::unique_ptr<NpcOutput>(); };
    seams.inputs = [] { return NpcToggleInputs{}; };
    seams.notice = [](const wchar_t*) {};
    for (auto _ : s) benchmark::DoNotOptimize(NpcPlayerPass(record, state, seams));
}
BENCHMARK(PlayerPassNothingQueued);

}  // namespace
}  // namespace hm
