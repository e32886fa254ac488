// NPC voices' hot paths: the manifest at its size limit, a 48 s clip turned into one playback
// block, and the cache's insert with eviction.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "npc/manifest.h"
#include "npc/npc_state.h"
#include "voice/voice_player.h"

namespace hm {
namespace {

std::string Hash(int n) {
    char buf[65];
    std::snprintf(buf, sizeof buf, "%064x", n);
    return buf;
}

void ParseFullManifest(benchmark::State& s) {
    std::string body = "HMNPC1 18446744073709551615 8\n";
    for (int i = 1; i <= 8; ++i)
        body += std::to_string(18446744073709551000ull + unsigned(i)) + " 999 255 1500 768000 " + Hash(i) + "\n";
    body.resize(kNpcManifestLimit, ' ');
    for (auto _ : s) benchmark::DoNotOptimize(ParseNpcManifest(body));
    s.SetBytesProcessed(std::int64_t(s.iterations()) * std::int64_t(body.size()));
}
BENCHMARK(ParseFullManifest);

// A device that accepts everything and finishes at once.
class NullOut : public WaveOutPort {
public:
    bool Open() override { return true; }
    bool Prepare(VoiceBlock&) override { return true; }
    bool Write(VoiceBlock& b) override {
        block_bytes = b.samples.size() * sizeof(b.samples[0]);
        return true;
    }
    bool IsDone(const VoiceBlock&) override { return true; }
    void Unprepare(VoiceBlock&) override {}
    void Reset() override {}
    void Close() override {}
    std::size_t block_bytes = 0;
};

void ConvertLongestClip(benchmark::State& s) {
    std::string clip(kNpcClipMaxBytes, '\0');
    for (std::size_t i = 0; i < clip.size(); ++i) clip[i] = char(i * 7);
    auto port = std::make_unique<NullOut>();
    NullOut* out = port.get();
    VoicePlayer player(std::move(port));
    for (auto _ : s) {
        player.Play(reinterpret_cast<const std::uint8_t*>(clip.data()), clip.size(), 255, 75, 80, 0);
        player.Reap();
    }
    s.counters["block_bytes"] = double(out->block_bytes);
    s.SetBytesProcessed(std::int64_t(s.iterations()) * std::int64_t(clip.size()));
}
BENCHMARK(ConvertLongestClip)->Unit(benchmark::kMillisecond);

// Full cache (21 clips of 48 s); every insert evicts one.
void CacheInsertWithEviction(benchmark::State& s) {
    NpcAudioCache cache;
    const NpcClip clip = std::make_shared<const std::vector<std::uint8_t>>(kNpcClipMaxBytes, 0x55);
    int n = 0;
    for (; n < 21; ++n) cache.Insert(Hash(n), clip);
    for (auto _ : s) cache.Insert(Hash(n++), clip);
    s.counters["clips"] = double(cache.clips());
}
BENCHMARK(CacheInsertWithEviction);

}  // namespace
}  // namespace hm
